#pragma once

#include <cstdint>
#include <string>

#include "protocol/frames.h"
#include "protocol/link_observer.h"

namespace protocol {

// English name of a register 10..23 as the window shows it ("Null Offset");
// empty for other numbers.
std::string RegisterName(std::uint16_t reg);

// Puts the traffic into words: "read register 15 -> 25 = Null Offset 2.5 °C".
// Remembers the decimals (register 14) and unit (register 11) that read
// replies carried, to show scaled values as the window does. Not
// thread-safe; the record serialises it.
class CTrafficMeaning {
public:
    std::string Request(const Frame& request) const;
    // Also learns decimals and unit from awaited read replies.
    std::string Run(const ReceivedRun& run);
    static std::string TimedOut(int attempt, int attempts);
    static std::string Retry(int attempt, int attempts);
    std::string Refused(OperationCode code, const std::wstring& text,
                        const std::wstring& reason) const;

    // A register's word in the field's own terms: "2.5 °C", "K Type", "-20".
    std::string Value(std::uint16_t reg, std::uint16_t word) const;

private:
    std::uint16_t m_decimals = 0;
    std::uint16_t m_unit = 0xFFFF;  // not read yet
};

}  // namespace protocol
