#include "serial/port_access.h"

#include <exception>

#include "serial/serial.h"

namespace serial {

PortState ProbePort(const std::string& devicePath) {
    try {
        Serial port(devicePath, 9600, Timeout::Total(50));
        return PortState::Free;
    } catch (const IOException& e) {
        switch (DiagnoseOpenFailure(devicePath, e.errorNumber(), e.what()).problem) {
            case OpenProblem::NoSuchPort: return PortState::Missing;
            case OpenProblem::NoPermission: return PortState::NoPermission;
            case OpenProblem::Busy: return PortState::Busy;
            case OpenProblem::Other: break;
        }
    } catch (const std::exception&) {
    }
    return PortState::Unusable;
}

}  // namespace serial
