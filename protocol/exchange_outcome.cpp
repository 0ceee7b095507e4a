#include "protocol/exchange_outcome.h"

#include "protocol/trace_file.h"

namespace protocol {

std::string RefusalWords(std::uint8_t exception) {
    return std::string(ExceptionWords(exception)) + " (" + HexText({exception}) + ")";
}

std::string DescribeFailure(const ExchangeOutcome& outcome) {
    if (outcome.ok) return {};
    switch (outcome.failure) {
        case ExchangeFailure::Refused:
            return "refused: " + RefusalWords(outcome.exception);
        case ExchangeFailure::LineBusy:
            return "the line never fell quiet (another device talking, or the wrong baud rate)";
        case ExchangeFailure::Cancelled:
            return "cancelled, the connection ended";
        case ExchangeFailure::None:
        case ExchangeFailure::NoAnswer:
            break;
    }
    return "no answer after " + std::to_string(outcome.attempts) +
           (outcome.attempts == 1 ? " attempt" : " attempts");
}

}  // namespace protocol
