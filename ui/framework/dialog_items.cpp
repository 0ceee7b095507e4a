#include "ui/framework/dialog.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "ui/framework/textconv.h"

void CDialog::SetDlgItemText(int id, const QString& text) {
    QWidget* w = Item(id);
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        b->setText(text);
    } else if (auto* l = qobject_cast<QLabel*>(w)) {
        l->setText(text);
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
        e->setText(text);
    } else if (auto* p = qobject_cast<QPlainTextEdit*>(w)) {
        p->setPlainText(text);
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
        g->setTitle(text);
    } else if (auto* c = qobject_cast<QComboBox*>(w); c && c->isEditable()) {
        c->setEditText(text);
    }
}

void CDialog::SetDlgItemText(int id, const std::wstring& text) {
    SetDlgItemText(id, ToQString(text));
}

void CDialog::SetWindowText(const std::wstring& text) {
    setWindowTitle(ToQString(text));
}

QString CDialog::GetDlgItemText(int id) const {
    QWidget* w = Item(id);
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* p = qobject_cast<QPlainTextEdit*>(w)) return p->toPlainText();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
    if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText();
    return {};
}

void CDialog::ShowItem(int id, bool show) {
    if (QWidget* w = Item(id)) w->setHidden(!show);
}

void CDialog::EnableItem(int id, bool enable) {
    if (QWidget* w = Item(id)) w->setEnabled(enable);
}

void CDialog::CheckDlgButton(int id, bool checked) {
    if (auto* b = ItemAs<QAbstractButton>(id)) b->setChecked(checked);
}

bool CDialog::IsDlgButtonChecked(int id) const {
    auto* b = ItemAs<QAbstractButton>(id);
    return b && b->isChecked();
}

void CDialog::GotoDlgCtrl(int id) {
    if (QWidget* w = Item(id)) w->setFocus();
}

void CDialog::SetItemBitmap(int id, const QPixmap& bitmap) {
    if (auto* l = ItemAs<QLabel>(id)) l->setPixmap(bitmap);
}
