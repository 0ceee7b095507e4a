#include "ui/framework/dialog.h"

#include <QTimer>
#include <algorithm>

void CDialog::SetTimer(int id, int milliseconds) {
    QTimer*& timer = m_timers[id];
    if (timer == nullptr) {
        timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this,
                [this, id] { SendMessage(WM_TIMER, static_cast<WPARAM>(id), 0); });
    }
    // Windows raises periods below 10 ms to 10 ms; a 0 would spin the loop.
    timer->start(std::max(milliseconds, 10));
}

void CDialog::KillTimer(int id) {
    auto it = m_timers.find(id);
    if (it != m_timers.end()) it->second->stop();
}

bool CDialog::IsTimerRunning(int id) const {
    auto it = m_timers.find(id);
    return it != m_timers.end() && it->second->isActive();
}
