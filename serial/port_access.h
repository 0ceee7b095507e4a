#pragma once

#include <cstdint>
#include <string>

namespace serial {

// Why a port could not be opened, in words a user can act on.
enum class OpenProblem { NoSuchPort, NoPermission, Busy, Other };

struct OpenDiagnosis {
    OpenProblem problem = OpenProblem::Other;
    // One line: what failed and what to do, e.g. "permission denied on
    // /dev/ttyUSB0 (group dialout): join the group with `sudo usermod -aG
    // dialout $USER`, then log in again".
    std::string text;
    // For a front end that words it itself, where the system tells them:
    // the group owning the device (NoPermission) and the program holding
    // it, e.g. "1234 (minicom)" (Busy).
    std::string group{};
    std::string holder{};
};

// From the error number an open reported (errno, GetLastError) and the
// port's own message, used when the number says nothing more.
OpenDiagnosis DiagnoseOpenFailure(const std::string& port, int32_t errorNumber,
                                  const std::string& message);

// A name for the port that survives re-plugging (Linux: the link in
// /dev/serial/by-id that leads to it); empty when there is none.
std::string StableName(const std::string& devicePath);

enum class PortState { Free, Busy, NoPermission, Missing, Unusable };

// Whether this program could have the port now: takes the same exclusive
// claim a connection makes and lets go at once, without touching the
// line settings (a program that holds the port without a claim keeps them).
PortState ProbePort(const std::string& devicePath);

}  // namespace serial
