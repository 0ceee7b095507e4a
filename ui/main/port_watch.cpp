#include "ui/main/port_watch.h"

#include <QSocketNotifier>

CPortWatch::CPortWatch(std::unique_ptr<CPortMonitor> monitor, QObject* owner,
                       std::function<void()> changed)
    : m_monitor(std::move(monitor)) {
    if (!m_monitor) return;
    m_notifier = std::make_unique<QSocketNotifier>(static_cast<qintptr>(m_monitor->WaitHandle()),
                                                   QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, owner,
                     [this, changed = std::move(changed)] {
                         // Everything pending is taken at once: an adapter
                         // brings several events, the list is built once.
                         if (m_monitor->TakeChanges()) changed();
                     });
}

CPortWatch::~CPortWatch() = default;
