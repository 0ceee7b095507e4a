#include "ui/framework/dialog.h"

#include <QAbstractButton>
#include <QWidget>
#include <cstdio>

#include "ui/framework/postmessage.h"
#include "ui/framework/updownctrl.h"

CDialog::CDialog(int templateId, QWidget* parent)
    : QDialog(parent), m_templateId(templateId), m_hwnd(corvexa::ui::RegisterWindow(this)) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
}

CDialog::CDialog(DialogTemplate dlg, QWidget* parent) : CDialog(dlg.id, parent) {
    m_inline = std::move(dlg);
}

CDialog::~CDialog() {
    // First thing: from here on no thread can post to this window.
    corvexa::ui::UnregisterWindow(m_hwnd);
}

bool CDialog::Build() {
    if (m_built) return true;
    std::optional<DialogTemplate> dlg =
        m_inline ? m_inline : LoadDialogTemplate(m_templateId, &m_buildError);
    if (!dlg) {
        std::fprintf(stderr, "%s\n", m_buildError.toLocal8Bit().constData());
        return false;
    }
    const QFont font = DialogFont(*dlg);
    setFont(font);
    m_units = DialogUnits::ForFont(font);
    setWindowTitle(dlg->caption);
    for (auto& [id, w] : BuildControls(*dlg, m_units, this)) {
        m_items.emplace(id, w);
        WireControl(id, w);
    }
    for (const ControlTemplate& c : dlg->controls) m_order.push_back(c.id);
    setFixedSize(m_units.X(dlg->size.width()), m_units.Y(dlg->size.height()));
    m_visibleStyle = (dlg->style & DS_VISIBLE) != 0;
    setWindowFlag(Qt::WindowMinimizeButtonHint, (dlg->style & DS_MINIMIZEBOX) != 0);
    m_built = true;
    return true;
}

void CDialog::WireControl(int id, QWidget* w) {
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        // A button click is WM_COMMAND with the button's id, as on Windows.
        connect(button, &QAbstractButton::clicked, this,
                [this, id] { SendMessage(WM_COMMAND, static_cast<WPARAM>(id), 0); });
    }
    if (auto* spin = dynamic_cast<CUpDownCtrl*>(w)) {
        spin->SetDeltaHandler([this, id](int delta) -> LRESULT {
            auto it = m_deltaPos.find(id);
            return it == m_deltaPos.end() ? 0 : it->second(delta);
        });
    }
}

void CDialog::Init() {
    if (OnInitDialog()) {
        for (int id : m_order) {
            QWidget* w = Item(id);
            if (w && !w->isHidden() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
                w->setFocus();
                break;
            }
        }
    }
}

int CDialog::DoModal() {
    if (!Build()) return -1;
    setResult(0);
    Init();
    return exec();
}

bool CDialog::Create(QWidget* parent) {
    if (parent != parentWidget()) setParent(parent, windowFlags());
    if (!Build()) return false;
    Init();
    if (m_visibleStyle) show();
    return true;
}

void CDialog::EndDialog(int result) {
    done(result);
}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

QWidget* CDialog::Item(int id) const {
    auto it = m_items.find(id);
    return it == m_items.end() ? nullptr : it->second.data();
}

bool CDialog::SubclassDlgItem(int id, QWidget* replacement) {
    QWidget* old = Item(id);
    if (!old || !replacement) return false;
    replacement->setParent(this);
    replacement->setObjectName(old->objectName());
    replacement->setGeometry(old->geometry());
    replacement->setHidden(old->isHidden());
    replacement->setEnabled(old->isEnabled());
    replacement->stackUnder(old);
    m_items[id] = replacement;
    delete old;
    return true;
}
