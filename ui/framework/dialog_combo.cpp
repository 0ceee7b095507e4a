#include "ui/framework/dialog.h"

#include <QComboBox>

void CDialog::ComboResetContent(int id) {
    if (auto* c = ItemAs<QComboBox>(id)) c->clear();
}

int CDialog::ComboAddString(int id, const QString& text) {
    auto* c = ItemAs<QComboBox>(id);
    if (!c) return -1;
    const int before = c->currentIndex();
    c->addItem(text);
    if (before < 0) c->setCurrentIndex(-1);  // adding never selects, as on Windows
    return c->count() - 1;
}

int CDialog::ComboInsertString(int id, int pos, const QString& text) {
    auto* c = ItemAs<QComboBox>(id);
    if (!c || pos > c->count()) return -1;
    // -1 appends, as CB_INSERTSTRING does.
    const int at = pos < 0 ? c->count() : pos;
    const int before = c->currentIndex();
    c->insertItem(at, text);
    // Inserting into an empty list must not select the new entry; Windows
    // leaves the selection alone.
    if (before < 0) c->setCurrentIndex(-1);
    return at;
}

int CDialog::ComboGetCount(int id) const {
    auto* c = ItemAs<QComboBox>(id);
    return c ? c->count() : 0;
}

QString CDialog::ComboGetLBText(int id, int pos) const {
    auto* c = ItemAs<QComboBox>(id);
    return c ? c->itemText(pos) : QString();
}

void CDialog::ComboSetCurSel(int id, int pos) {
    auto* c = ItemAs<QComboBox>(id);
    if (!c) return;
    // An index outside the list clears the selection.
    c->setCurrentIndex(pos >= 0 && pos < c->count() ? pos : -1);
}

int CDialog::ComboGetCurSel(int id) const {
    auto* c = ItemAs<QComboBox>(id);
    return c ? c->currentIndex() : -1;
}

void CDialog::ComboSetItemData(int id, int pos, qint64 data) {
    if (auto* c = ItemAs<QComboBox>(id)) c->setItemData(pos, data);
}

qint64 CDialog::ComboGetItemData(int id, int pos) const {
    auto* c = ItemAs<QComboBox>(id);
    return c ? c->itemData(pos).toLongLong() : 0;
}
