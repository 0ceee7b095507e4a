#include "ui/main/identity_row.h"

#include <QLineEdit>

#include "lang/language.h"
#include "ui/framework/dialog.h"
#include "ui/main/certificate_text_ids.h"
#include "ui/main/control_ids.h"
#include "ui/main/main_text.h"

using namespace mainwnd;
using namespace certtext;

namespace {

constexpr char kSettingsSection[] = "Calibration";
constexpr char kTechnicianKey[] = "Technician";
constexpr int kFields[] = {IDC_TAG, IDC_SERIAL, IDC_MODEL, IDC_TECHNICIAN};

}  // namespace

void CIdentityRow::Install(std::function<void()> changed) {
    m_changed = std::move(changed);
    m_technician = QString::fromStdWString(GetTextSetting(kSettingsSection, kTechnicianKey))
                       .trimmed()
                       .toStdString();
    m_dlg.SetDlgItemText(IDC_TECHNICIAN, QString::fromStdString(m_technician));
    for (std::size_t i = 0; i < std::size(kFields); ++i) {
        auto* edit = m_dlg.ItemAs<QLineEdit>(kFields[i]);
        if (edit == nullptr) continue;
        edit->setMaxLength(64);
        QLineEdit* next =
            i + 1 < std::size(kFields) ? m_dlg.ItemAs<QLineEdit>(kFields[i + 1]) : nullptr;
        QObject::connect(edit, &QLineEdit::returnPressed, edit, [next] {
            if (next != nullptr) {
                next->setFocus();
                next->selectAll();
            }
        });
        QObject::connect(edit, &QLineEdit::editingFinished, edit, [this] { Changed(); });
    }
}

void CIdentityRow::RefreshTexts() {
    const std::pair<int, int> labels[] = {{IDC_TAG_LABEL, kTxtTag},
                                          {IDC_SERIAL_LABEL, kTxtSerial},
                                          {IDC_MODEL_LABEL, kTxtModel},
                                          {IDC_TECHNICIAN_LABEL, kTxtTechnicianLabel}};
    for (auto [control, text] : labels) m_dlg.SetDlgItemText(control, MainText(text));
    for (int id : {IDC_TAG, IDC_SERIAL, IDC_MODEL})
        if (QWidget* edit = m_dlg.Item(id)) edit->setToolTip(MainText(kTxtIdentityTip));
}

protocol::DeviceIdentity CIdentityRow::Identity() const {
    const auto field = [this](int id) { return m_dlg.GetDlgItemText(id).trimmed().toStdString(); };
    return {field(IDC_TAG), field(IDC_SERIAL), field(IDC_MODEL)};
}

std::string CIdentityRow::Technician() const {
    return m_dlg.GetDlgItemText(IDC_TECHNICIAN).trimmed().toStdString();
}

void CIdentityRow::SetTechnician(const std::string& name) {
    m_dlg.SetDlgItemText(IDC_TECHNICIAN, QString::fromStdString(name));
    Changed();
}

void CIdentityRow::Changed() {
    const protocol::DeviceIdentity identity = Identity();
    const std::string technician = Technician();
    if (technician != m_technician) {
        m_technician = technician;
        SetTextSetting(kSettingsSection, kTechnicianKey,
                       QString::fromStdString(technician).toStdWString());
    } else if (identity == m_shown) {
        return;
    }
    m_shown = identity;
    if (m_changed) m_changed();
}
