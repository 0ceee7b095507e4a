#pragma once

#include <cstdint>
#include <memory>

// Tells when serial ports come or go (an adapter plugged in or pulled), so
// that a port list can follow the machine without polling.
class CPortMonitor {
public:
    virtual ~CPortMonitor() = default;

    // Watch this for news: on Linux a descriptor that turns readable (for
    // poll or a socket notifier), on Windows an event handle that is set.
    virtual std::intptr_t WaitHandle() const = 0;
    // Takes every pending notification; true when a serial port was added
    // or removed among them. Never blocks.
    virtual bool TakeChanges() = 0;
};

// The system's monitor; null when the system offers none (no udev, no
// notifications in a container), in which case lists refresh on demand only.
std::unique_ptr<CPortMonitor> CreatePortMonitor();
