#include "serial/usb_latency.h"

namespace serial {

PortLatency PortLatencyOf(const std::string&, bool, const std::string&) {
    // The FTDI driver keeps its latency timer in the port's own settings,
    // out of reach without the vendor's interface.
    PortLatency latency;
    latency.advice =
        "an FTDI adapter answers faster with its latency timer at 1 ms: Device Manager, the "
        "port's Properties, Port Settings, Advanced, Latency Timer";
    return latency;
}

}  // namespace serial
