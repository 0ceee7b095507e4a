#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/frames.h"

namespace protocol {

// Why an exchange did not get its reply.
enum class ExchangeFailure : int {
    None = 0,
    NoAnswer = 1,   // every attempt timed out
    Refused = 2,    // the device answered with a Modbus exception
    LineBusy = 3,   // the line never fell quiet long enough to send
    Cancelled = 4,  // the connection ended or the link closed under it
};

// What the line gave back while an exchange held it, for a diagnosis when
// no reply came: the first bytes that were not our own echo, how many there
// were in all, and how many bytes were taken off as the adapter's echo.
struct LineHeard {
    static constexpr std::size_t kKept = 32;
    std::vector<std::uint8_t> first;  // at most kKept
    std::size_t bytes = 0;
    std::size_t echoed = 0;
};

// How one exchange ended: the request, whether its reply came, how many
// times the request was sent, for a read the word the reply carried, and
// for a failure why.
struct ExchangeOutcome {
    Frame request{};
    bool ok = false;
    int attempts = 0;
    std::optional<std::uint16_t> value;
    ExchangeFailure failure = ExchangeFailure::None;
    std::uint8_t exception = 0;  // Refused only: the device's exception code
    LineHeard heard;
};

// A refusal in English: "illegal data value (03)".
std::string RefusalWords(std::uint8_t exception);
// Why it failed, in English, to follow a parameter's name: "no answer
// after 3 attempts", "refused: illegal data value (03)", "the line never
// fell quiet ...". Empty for an outcome that is ok.
std::string DescribeFailure(const ExchangeOutcome& outcome);

}  // namespace protocol
