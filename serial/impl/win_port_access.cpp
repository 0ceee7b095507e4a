#include <windows.h>

#include <string>

#include "serial/port_access.h"

namespace serial {

OpenDiagnosis DiagnoseOpenFailure(const std::string& port, int32_t errorNumber,
                                  const std::string& message) {
    switch (static_cast<DWORD>(errorNumber)) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return {OpenProblem::NoSuchPort,
                    "no such port: " + port + "; `corvexa-cli ports` lists the ports present"};
        // A COM port opened without sharing refuses every second opener with
        // "access denied": on Windows that means busy, not a missing right.
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return {OpenProblem::Busy, "port busy: " + port +
                                           " is in use by another program; close that program "
                                           "and try again"};
        default:
            break;
    }
    return {OpenProblem::Other, "cannot open " + port + ": " + message};
}

// Windows keeps a COM port's name across re-plugging by itself.
std::string StableName(const std::string&) {
    return {};
}

PortState ProbePort(const std::string& devicePath) {
    std::string path = devicePath;
    if (path.rfind("\\\\.\\", 0) != 0) path = "\\\\.\\" + path;
    const HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        switch (
            DiagnoseOpenFailure(devicePath, static_cast<int32_t>(::GetLastError()), "").problem) {
            case OpenProblem::NoSuchPort:
                return PortState::Missing;
            case OpenProblem::NoPermission:
                return PortState::NoPermission;
            case OpenProblem::Busy:
                return PortState::Busy;
            case OpenProblem::Other:
                break;
        }
        return PortState::Unusable;
    }
    ::CloseHandle(handle);
    return PortState::Free;
}

}  // namespace serial
