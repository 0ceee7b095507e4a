#include "app/display.h"

std::string MissingDisplayMessage(const EnvLookup& getenvFn) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* v = getenvFn(name);
        if (v != nullptr && *v != '\0') return {};
    }
    return "corvexa: no display found (DISPLAY and WAYLAND_DISPLAY are not set); "
           "start it in a desktop session, or set QT_QPA_PLATFORM=offscreen";
}
