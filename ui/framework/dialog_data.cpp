#include "ui/framework/dialog.h"

#include <variant>

#include "ui/framework/textconv.h"

void CDialog::BindText(int id, std::wstring* field) {
    m_bindings.emplace_back(id, field);
}

void CDialog::BindText(int id, QString* field) {
    m_bindings.emplace_back(id, field);
}

bool CDialog::UpdateData(bool saveAndValidate) {
    for (auto& [id, field] : m_bindings) {
        if (Item(id) == nullptr) continue;
        if (auto* w = std::get_if<std::wstring*>(&field)) {
            if (saveAndValidate) {
                **w = ToWString(GetDlgItemText(id));
            } else {
                SetDlgItemText(id, ToQString(**w));
            }
        } else if (auto* q = std::get_if<QString*>(&field)) {
            if (saveAndValidate) {
                **q = GetDlgItemText(id);
            } else {
                SetDlgItemText(id, **q);
            }
        }
    }
    return true;
}
