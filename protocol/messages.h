#pragma once

#include <cstdint>

namespace protocol {

// Private window messages, WM_USER (0x400) based. Parameters in brackets.
constexpr std::uint32_t kWmUser = 0x400;
constexpr std::uint32_t UM_VALUES_CHANGED = kWmUser + 1000;  // (0, 0): show the record
// kWmUser + 1001 is taken by the start dialog's own window message.
constexpr std::uint32_t UM_WRITE_RESULT = kWmUser + 1100;   // (operation code, 1 ok / 0 failed)
constexpr std::uint32_t UM_DEVICE_ONLINE = kWmUser + 1300;  // (0, 1): read-all finished
// (register index 0..13, ReadProgressParam): one register of a read-all is done.
constexpr std::uint32_t UM_READ_PROGRESS = kWmUser + 1301;
// (operation code 27 or 28, 0): the handshake got no answer after all attempts.
constexpr std::uint32_t UM_NO_ANSWER = kWmUser + 1302;
// (0, 0): the port failed under the connection (adapter pulled, line hung up).
constexpr std::uint32_t UM_PORT_LOST = kWmUser + 1303;
// (register index 10 or 11, 0): a sampling read got no reply.
constexpr std::uint32_t UM_SAMPLE_MISSED = kWmUser + 1304;

// Second parameter of UM_READ_PROGRESS: how many registers the read-all
// reads, and whether this one answered.
constexpr std::intptr_t ReadProgressParam(int count, bool answered) {
    return count * 2 + (answered ? 1 : 0);
}
constexpr int ReadProgressCount(std::intptr_t param) {
    return static_cast<int>(param / 2);
}
constexpr bool ReadProgressAnswered(std::intptr_t param) {
    return (param & 1) != 0;
}

// Where the transactions report to: the window posts each message to
// itself; tests queue them. Called from worker threads; must not block and
// must not call back into the transactions.
class IMessageSink {
public:
    virtual ~IMessageSink() = default;
    virtual void PostToWindow(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

}  // namespace protocol
