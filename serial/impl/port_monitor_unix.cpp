#include <libudev.h>

#include <cstring>

#include "serial/port_monitor.h"

namespace {

// udev's own reference counts, released through their unref functions.
struct UdevUnref {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_monitor* m) const { udev_monitor_unref(m); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
template <class T>
using UdevPtr = std::unique_ptr<T, UdevUnref>;

// Events of the tty subsystem as udev passes them on (after its rules ran,
// so the /dev/serial/by-id links of an added adapter exist already).
class CUdevPortMonitor final : public CPortMonitor {
public:
    CUdevPortMonitor(UdevPtr<udev> context, UdevPtr<udev_monitor> monitor)
        : m_udev(std::move(context)), m_monitor(std::move(monitor)) {}

    std::intptr_t WaitHandle() const override { return udev_monitor_get_fd(m_monitor.get()); }

    bool TakeChanges() override {
        bool changed = false;
        // The monitor's socket does not block: null means nothing is left.
        while (UdevPtr<udev_device> device{udev_monitor_receive_device(m_monitor.get())}) {
            const char* action = udev_device_get_action(device.get());
            if (action != nullptr &&
                (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0)) {
                changed = true;
            }
        }
        return changed;
    }

private:
    UdevPtr<udev> m_udev;
    UdevPtr<udev_monitor> m_monitor;
};

}  // namespace

std::unique_ptr<CPortMonitor> CreatePortMonitor() {
    UdevPtr<udev> context{udev_new()};
    if (!context) return nullptr;
    UdevPtr<udev_monitor> monitor{udev_monitor_new_from_netlink(context.get(), "udev")};
    if (!monitor) return nullptr;
    if (udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor.get()) < 0) {
        return nullptr;
    }
    return std::make_unique<CUdevPortMonitor>(std::move(context), std::move(monitor));
}
