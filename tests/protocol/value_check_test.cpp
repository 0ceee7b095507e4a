#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/value_check.h"

namespace protocol {
namespace {

struct TypedCase {
    OperationCode code;
    const wchar_t* text;
    std::uint16_t decimals;
    ValueProblem problem;
    std::uint16_t word;  // sent when accepted
};

TEST(ValueCheck, TypedTextIsRefusedOrSentAsConverted) {
    using enum ValueProblem;
    const std::vector<TypedCase> cases = {
        // Accepted scaled texts are rounded to the nearest word, so they read
        // back as typed (2.3 at one decimal place is 23, not 22).
        {OperationCode::WriteZeroOffset, L"12.5", 1, None, 125},
        {OperationCode::WriteZeroOffset, L"2.3", 1, None, 23},
        {OperationCode::WriteZeroOffset, L"2.85", 1, None, 29},
        {OperationCode::WriteZeroOffset, L" +3e1 ", 0, None, 30},
        {OperationCode::WriteZeroOffset, L"6553.5", 1, None, 65535},
        {OperationCode::WriteZeroOffset, L"6553.6", 1, OutOfRange, 0},
        {OperationCode::WriteZeroOffset, L"-1.5", 1, OutOfRange, 0},
        {OperationCode::WriteTempComp, L"", 1, NotANumber, 0},
        {OperationCode::WriteTempComp, L"abc", 1, NotANumber, 0},
        {OperationCode::WriteTempComp, L"1.5volts", 1, NotANumber, 0},
        {OperationCode::WriteTempComp, L"nan", 1, NotANumber, 0},
        {OperationCode::WriteTempComp, L"1", 65535, OutOfRange, 0},
        {OperationCode::WriteLowerLimit, L"-50", 0, None, 0xFFCE},
        {OperationCode::WriteLowerLimit, L"-32768", 0, None, 0x8000},
        {OperationCode::WriteLowerLimit, L"-32769", 0, OutOfRange, 0},
        {OperationCode::WriteUpperLimit, L"70000", 0, OutOfRange, 0},
        {OperationCode::WriteUpperLimit, L"32767", 0, None, 32767},
        {OperationCode::WriteUpperLimit, L"12.7", 0, NotANumber, 0},
        {OperationCode::WriteUpperLimit, L"99999999999", 0, OutOfRange, 0},
        {OperationCode::WriteZeroSample, L"65535", 0, None, 65535},
        {OperationCode::WriteFullSample, L"-1", 0, OutOfRange, 0},
        {OperationCode::WriteZeroOutput, L"0x10", 0, NotANumber, 0},
        {OperationCode::WriteFullOutput, L"  ", 0, NotANumber, 0},
    };
    for (const auto& c : cases) {
        const CheckedValue checked = CheckTypedValue(c.code, c.text, c.decimals);
        const std::string shown(c.text, c.text + std::wcslen(c.text));
        EXPECT_EQ(c.problem, checked.problem) << shown;
        if (checked.ok())
            EXPECT_EQ(c.word, checked.word) << shown;
        else
            EXPECT_FALSE(DescribeProblem(checked).empty()) << shown;
    }
}

TEST(ValueCheck, RefusalSaysWhatTheFieldTakes) {
    EXPECT_EQ(L"out of range; it takes -32768 to 32767",
              DescribeProblem(CheckTypedValue(OperationCode::WriteUpperLimit, L"70000", 0)));
    EXPECT_EQ(L"not a number; it takes 0.0 to 6553.5",
              DescribeProblem(CheckTypedValue(OperationCode::WriteZeroOffset, L"x", 1)));
}

TEST(ValueCheck, BoxWithoutSelectionSendsNothing) {
    EXPECT_EQ(ValueProblem::NoSelection, CheckSelection(-1).problem);
    EXPECT_EQ(4, CheckSelection(4).word);
}

TEST(ValueCheck, InvertedLimitsCompareAsSignedWords) {
    EXPECT_TRUE(LimitsInverted(100, 100));
    EXPECT_TRUE(LimitsInverted(10, 0xFFCE));   // 10 above -50
    EXPECT_FALSE(LimitsInverted(0xFFCE, 10));  // -50 below 10
}

}  // namespace
}  // namespace protocol
