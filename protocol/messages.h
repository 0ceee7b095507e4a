#pragma once

#include <cstdint>

namespace protocol {

// Private window messages, WM_USER (0x400) based. Parameters in brackets.
constexpr std::uint32_t kWmUser = 0x400;
constexpr std::uint32_t UM_VALUES_CHANGED = kWmUser + 1000;  // (0, 0): show the record
constexpr std::uint32_t UM_SHOW_MAIN = kWmUser + 1001;       // start dialog chose a version
constexpr std::uint32_t UM_WRITE_RESULT = kWmUser + 1100;    // (operation code, 1 ok / 0 failed)
constexpr std::uint32_t UM_DEVICE_ONLINE = kWmUser + 1300;   // (0, 1): read-all finished

// Where the transactions report to: the window posts each message to
// itself; tests queue them. Called from worker threads; must not block and
// must not call back into the transactions.
class IMessageSink {
public:
    virtual ~IMessageSink() = default;
    virtual void PostToWindow(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

}  // namespace protocol
