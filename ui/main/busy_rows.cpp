#include "ui/main/busy_rows.h"

#include "ui/framework/dialog.h"
#include "ui/main/control_ids.h"
#include "ui/main/main_text.h"
#include "ui/main/main_text_ids.h"

using namespace mainwnd;
using namespace maintext;

namespace {

struct SRow {
    int code;
    int button;
    int idleText;  // the button's text when no write is on its way
};

// A stored sample ends its sampling, so its button is back to "Read".
constexpr SRow kRows[] = {
    {17, IDC_SOURCE_SET, kModifyText},    {18, IDC_OFFSET_SET, kModifyText},
    {19, IDC_LOWER_SET, kModifyText},     {20, IDC_UPPER_SET, kModifyText},
    {21, IDC_GAIN_SET, kModifyText},      {22, IDC_TEMP_SET, kModifyText},
    {23, IDC_ZERO_SAMPLE_BTN, kReadText}, {24, IDC_FULL_SAMPLE_BTN, kReadText},
    {25, IDC_ZERO_OUT_SET, kSetText},     {26, IDC_FULL_OUT_SET, kSetText},
};

const SRow* RowOf(int code) {
    for (const SRow& row : kRows)
        if (row.code == code) return &row;
    return nullptr;
}

}  // namespace

int CBusyRows::ButtonOf(int code) {
    const SRow* row = RowOf(code);
    return row != nullptr ? row->button : 0;
}

void CBusyRows::Begin(int code) {
    if (RowOf(code) == nullptr) return;
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
    const SRow* row = RowOf(code);
    m_dlg.SetDlgItemText(row->button, MainText(row->idleText));
    m_dlg.EnableItem(row->button, enable);
}
