#include "ui/main/busy_rows.h"

#include "ui/framework/dialog.h"
#include "ui/main/control_ids.h"
#include "ui/main/field_table.h"
#include "ui/main/main_text.h"
#include "ui/main/main_text_ids.h"

using namespace mainwnd;
using namespace maintext;

int CBusyRows::ButtonOf(int code) {
    const SField* row = FieldOfCode(code);
    return row != nullptr ? row->button : 0;
}

void CBusyRows::Begin(int code) {
    if (FieldOfCode(code) == nullptr) return;
    m_codes.insert(code);
    Reapply();
}

void CBusyRows::End(int code, bool online) {
    if (m_codes.erase(code) != 0) Restore(code, online);
}

void CBusyRows::Clear() {
    for (int code : m_codes) Restore(code, false);
    m_codes.clear();
}

void CBusyRows::Reapply() {
    for (int code : m_codes) {
        const int button = ButtonOf(code);
        m_dlg.SetDlgItemText(button, MainText(kSendingText));
        m_dlg.EnableItem(button, false);
    }
}

void CBusyRows::Restore(int code, bool enable) {
    const SField* row = FieldOfCode(code);
    m_dlg.SetDlgItemText(row->button, MainText(row->buttonText));
    m_dlg.EnableItem(row->button, enable);
}
