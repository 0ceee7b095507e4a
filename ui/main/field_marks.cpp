#include "ui/main/field_marks.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPalette>

#include "protocol/registers.h"
#include "ui/framework/dialog.h"
#include "ui/main/control_ids.h"
#include "ui/main/field_table.h"
#include "ui/main/main_text.h"
#include "ui/main/main_text_ids.h"

using namespace mainwnd;
using namespace maintext;

namespace {

// A register that did not answer is a fault: red. A sample without a fresh
// reading is only out of date: grey.
void SetPlaceholder(QWidget* w, const QString& text, const QColor& color) {
    QPalette palette = w->palette();
    palette.setColor(QPalette::PlaceholderText, color);
    w->setPalette(palette);
    w->setToolTip(text);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setPlaceholderText(text);
    else if (auto* box = qobject_cast<QComboBox*>(w))
        box->setPlaceholderText(text);
}

}  // namespace

int CFieldMarks::ControlOf(int index) {
    const SField* f = FieldOfIndex(index);
    return f != nullptr ? f->control : 0;
}

void CFieldMarks::MarkNoAnswer(int index) {
    const int control = ControlOf(index);
    if (control == 0) return;
    m_noAnswer |= 1u << index;
    m_noReading &= ~(1u << index);
    m_refusals[static_cast<std::size_t>(index)].clear();
    if (qobject_cast<QComboBox*>(m_dlg.Item(control)) != nullptr)
        m_dlg.ComboSetCurSel(control, -1);
    else
        m_dlg.SetDlgItemText(control, QString());
    Show(index, kNoAnswerMarkText);
}

void CFieldMarks::MarkRefused(int index, const QString& words) {
    if (ControlOf(index) == 0) return;
    m_refusals[static_cast<std::size_t>(index)] = words;
    Show(index, kRefusedMarkText);
}

void CFieldMarks::MarkNoReading(int index) {
    const int control = ControlOf(index);
    if (control == 0) return;
    m_noReading |= 1u << index;
    m_noAnswer &= ~(1u << index);
    m_dlg.SetDlgItemText(control, QString());
    Show(index, kNoReadingText);
}

void CFieldMarks::Show(int index, int textId) {
    QWidget* w = m_dlg.Item(ControlOf(index));
    if (w == nullptr) return;
    const QColor color = textId == kNoAnswerMarkText || textId == kRefusedMarkText
                             ? QColor(Qt::red)
                             : w->palette().color(QPalette::Disabled, QPalette::Text);
    const QString text = textId == kRefusedMarkText
                             ? MainText(textId).arg(m_refusals[static_cast<std::size_t>(index)])
                             : MainText(textId);
    SetPlaceholder(w, text, color);
}

void CFieldMarks::Clear(int index) {
    if (!Marked(index)) return;
    m_noAnswer &= ~(1u << index);
    m_noReading &= ~(1u << index);
    if (QWidget* w = m_dlg.Item(ControlOf(index)))
        SetPlaceholder(w, QString(), QGuiApplication::palette().color(QPalette::PlaceholderText));
}

void CFieldMarks::ClearAll() {
    for (const SField& f : kFields) Clear(f.index);
}

void CFieldMarks::Reapply() {
    for (const SField& f : kFields) {
        if (m_noAnswer >> f.index & 1u)
            Show(f.index, m_refusals[static_cast<std::size_t>(f.index)].isEmpty()
                              ? kNoAnswerMarkText
                              : kRefusedMarkText);
        else if (m_noReading >> f.index & 1u)
            Show(f.index, kNoReadingText);
    }
}
