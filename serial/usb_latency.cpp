#include "serial/usb_latency.h"

namespace serial {

std::string LatencyText(const PortLatency& latency) {
    std::string text = latency.chip;
    if (!latency.driver.empty())
        text += text.empty() ? "driver " + latency.driver : " (" + latency.driver + ")";
    if (latency.latencyMs) {
        text += (text.empty() ? "" : ", ") + std::string("latency timer ") +
                std::to_string(*latency.latencyMs) + " ms";
        if (latency.lowered) text += " (lowered from " + std::to_string(latency.before) + " ms)";
        if (latency.couldNotLower)
            text +=
                "; it could not be lowered to 1 ms (no write access: see \"When the device "
                "does not answer\" in the README)";
    }
    if (!latency.advice.empty()) text += (text.empty() ? "" : "; ") + latency.advice;
    return text;
}

}  // namespace serial
