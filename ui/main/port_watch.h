#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "serial/port_monitor.h"

class QSocketNotifier;

// Calls back on the window's thread when a serial port came or went: the
// monitor's descriptor is watched by the window's own event loop.
class CPortWatch {
public:
    CPortWatch(std::unique_ptr<CPortMonitor> monitor, QObject* owner,
               std::function<void()> changed);
    ~CPortWatch();
    CPortWatch(const CPortWatch&) = delete;
    CPortWatch& operator=(const CPortWatch&) = delete;

private:
    std::unique_ptr<CPortMonitor> m_monitor;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
