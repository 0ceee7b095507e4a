#pragma once

#include <cstdint>

#include "protocol/exchange_outcome.h"

namespace protocol {

// Private window messages, WM_USER (0x400) based. Parameters in brackets.
constexpr std::uint32_t kWmUser = 0x400;
constexpr std::uint32_t UM_VALUES_CHANGED = kWmUser + 1000;  // (0, 0): show the record
// kWmUser + 1001 is taken by the start dialog's own window message.
// (operation code, ResultParam: 1 ok, 0 no answer, other failures below)
constexpr std::uint32_t UM_WRITE_RESULT = kWmUser + 1100;
constexpr std::uint32_t UM_DEVICE_ONLINE = kWmUser + 1300;  // (0, 1): read-all finished
// (register index 0..13, ReadProgressParam): one register of a read-all is done.
constexpr std::uint32_t UM_READ_PROGRESS = kWmUser + 1301;
// (operation code 27 or 28, ResultParam): the handshake failed.
constexpr std::uint32_t UM_NO_ANSWER = kWmUser + 1302;
// (0, 0): the port failed under the connection (adapter pulled, line hung up).
constexpr std::uint32_t UM_PORT_LOST = kWmUser + 1303;
// (register index 10 or 11, ResultParam): a sampling read got no value.
constexpr std::uint32_t UM_SAMPLE_MISSED = kWmUser + 1304;
// (baud, ResultParam): the probe's ConnectRequest at that rate ended.
constexpr std::uint32_t UM_PROBE_RESULT = kWmUser + 1305;

// How an exchange ended, as a message parameter: 1 done, 0 no answer (the
// two values a write result always had), else the failure in bits 8..15
// and a refusal's exception code in bits 0..7.
constexpr std::intptr_t ResultParam(ExchangeFailure failure, std::uint8_t exception = 0) {
    if (failure == ExchangeFailure::None) return 1;
    if (failure == ExchangeFailure::NoAnswer) return 0;
    return static_cast<std::intptr_t>(failure) << 8 |
           (failure == ExchangeFailure::Refused ? exception : 0);
}
constexpr std::intptr_t ResultParam(const ExchangeOutcome& outcome) {
    return ResultParam(outcome.ok ? ExchangeFailure::None : outcome.failure, outcome.exception);
}
constexpr ExchangeFailure ResultFailure(std::intptr_t param) {
    if (param == 1) return ExchangeFailure::None;
    if (param == 0) return ExchangeFailure::NoAnswer;
    return static_cast<ExchangeFailure>(param >> 8 & 0xFF);
}
constexpr std::uint8_t ResultException(std::intptr_t param) {
    return ResultFailure(param) == ExchangeFailure::Refused
               ? static_cast<std::uint8_t>(param & 0xFF)
               : 0;
}

// Second parameter of UM_READ_PROGRESS: how many registers the read-all
// reads and whether this one answered (bits 0..7), and how it failed
// (ResultParam from bit 8 on).
constexpr std::intptr_t ReadProgressParam(
    int count, bool answered, std::intptr_t result = ResultParam(ExchangeFailure::NoAnswer)) {
    return count * 2 + (answered ? 1 : 0) + (answered ? 0 : result << 8);
}
constexpr int ReadProgressCount(std::intptr_t param) {
    return static_cast<int>((param & 0xFF) / 2);
}
constexpr bool ReadProgressAnswered(std::intptr_t param) {
    return (param & 1) != 0;
}
constexpr std::intptr_t ReadProgressResult(std::intptr_t param) {
    return ReadProgressAnswered(param) ? 1 : param >> 8;
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
