#include "ui/framework/dialog.h"

#include <QCloseEvent>
#include <QEvent>

#include "ui/framework/postmessage.h"

void CDialog::MapMessage(UINT msg, MessageHandler handler) {
    m_messages[msg] = std::move(handler);
}

void CDialog::MapCommand(int id, CommandHandler handler) {
    m_commands[id] = std::move(handler);
}

void CDialog::MapDeltaPos(int id, DeltaPosHandler handler) {
    m_deltaPos[id] = std::move(handler);
}

LRESULT CDialog::SendMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    auto it = m_messages.find(msg);
    if (it != m_messages.end()) return it->second(wParam, lParam);
    return DefWindowProc(msg, wParam, lParam);
}

LRESULT CDialog::DefWindowProc(UINT msg, WPARAM wParam, LPARAM /*lParam*/) {
    switch (msg) {
        case WM_CLOSE:
            OnClose();
            break;
        case WM_COMMAND:
            OnCommand(LOWORD(wParam));
            break;
        case WM_TIMER:
            OnTimer(static_cast<int>(wParam));
            break;
        default:
            break;
    }
    return 0;
}

void CDialog::OnCommand(int id) {
    auto it = m_commands.find(id);
    if (it != m_commands.end()) {
        it->second();
    } else if (id == IDOK) {
        OnOK();
    } else if (id == IDCANCEL) {
        OnCancel();
    }
}

bool CDialog::event(QEvent* e) {
    if (e->type() == CMessageEvent::EventType()) {
        const auto* m = static_cast<CMessageEvent*>(e);
        SendMessage(m->message, m->wParam, m->lParam);
        return true;
    }
    return QDialog::event(e);
}

void CDialog::closeEvent(QCloseEvent* e) {
    // The close box is WM_CLOSE; what it does is the message table's choice.
    e->ignore();
    SendMessage(WM_CLOSE, 0, 0);
}
