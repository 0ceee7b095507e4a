#include "protocol/output_trim.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace protocol {
namespace {

struct TrimCase {
    OutputSignal signal;
    std::uint16_t zeroWord, fullWord;
    double measuredZero, measuredFull;
    TrimProblem problem;
    std::uint16_t newZero, newFull;
};

TEST(OutputTrim, TwoPointLineGivesTheNewWordsOrRefuses) {
    using enum TrimProblem;
    constexpr auto mA = OutputSignal::Current4To20mA;
    constexpr auto V = OutputSignal::Voltage0To10V;
    const std::vector<TrimCase> cases = {
        {mA, 6000, 30000, 4.0, 20.0, None, 6000, 30000},     // already on target
        {mA, 6000, 30000, 4.1, 19.8, None, 5847, 30306},     // 5847.13 and 30305.73, nearest
        {mA, 3277, 16384, 4.0025, 20.0, None, 3275, 16384},  // 3274.95
        {V, 12000, 52000, 0.1, 9.9, None, 11592, 52408},
        {V, 1000, 2000, 0.25, 10.0, None, 974, 2000},
        {mA, 0, 65535, 3.9, 20.1, None, 405, 65130},
        {mA, 100, 65500, 4.0, 19.0, WordOutOfRange, 0, 0},  // full would be 69860
        {mA, 10, 60000, 4.5, 20.0, WordOutOfRange, 0, 0},   // zero would be -1925
        {mA, 6000, 30000, 12.0, 12.0, EqualReadings, 0, 0},
        {V, 6000, 30000, 9.9, 0.1, ReadingsReversed, 0, 0},
        {mA, 6000, 30000, NAN, 20.0, NotANumber, 0, 0},
        {mA, 6000, 30000, 4.0, INFINITY, NotANumber, 0, 0},
    };
    for (const TrimCase& c : cases) {
        const TrimResult result =
            ComputeTrim({c.signal, c.zeroWord, c.fullWord, c.measuredZero, c.measuredFull});
        const auto shown = testing::Message() << c.zeroWord << "/" << c.fullWord << " read "
                                              << c.measuredZero << "/" << c.measuredFull;
        EXPECT_EQ(c.problem, result.problem) << shown;
        EXPECT_EQ(result.ok(), DescribeTrimProblem(result.problem).empty()) << shown;
        if (result.ok()) {
            EXPECT_EQ(c.newZero, result.newZeroWord) << shown;
            EXPECT_EQ(c.newFull, result.newFullWord) << shown;
        }
    }
}

TEST(OutputTrim, ReadingsAndSignalNamesParseWhole) {
    EXPECT_EQ(4.012, ParseReading(L"4.012"));
    EXPECT_EQ(19.98, ParseReading(L" 19.98 "));
    EXPECT_EQ(-0.5, ParseReading(L"-0.5"));
    for (const wchar_t* bad : {L"", L"4,0", L"4.0mA", L"abc", L"1e400", L"nan"})
        EXPECT_FALSE(ParseReading(bad).has_value()) << std::wstring(bad).size();
    EXPECT_EQ(OutputSignal::Voltage0To10V, ParseSignalName("0-10V"));
    EXPECT_EQ("4-20mA", SignalName(*ParseSignalName("4-20mA")));
    EXPECT_FALSE(ParseSignalName("4-20 mA").has_value());
}

}  // namespace
}  // namespace protocol
