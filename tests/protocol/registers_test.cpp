#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "protocol/conversions.h"
#include "protocol/device_parameters.h"
#include "protocol/frames.h"
#include "protocol/register_table.h"
#include "protocol/registers.h"

namespace protocol {
namespace {

struct ScaledShow {
    std::uint16_t raw;
    std::uint16_t decimals;
    const wchar_t* shown;
};

TEST(Conversions, ScaledRegisterShowsOneDecimal) {
    const std::vector<ScaledShow> cases = {
        {300, 0, L"300.0"},
        {300, 1, L"30.0"},
        {300, 2, L"3.0"},
        {0xFFF1, 1, L"6552.1"},
        {125, 1, L"12.5"},
        {7, 3, L"0.0"},
        {65535, 0, L"65535.0"},
        // 10^65535 is infinite in double; the quotient is 0, never a crash.
        {1234, 65535, L"0.0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.shown, FormatScaled(c.raw, c.decimals)) << c.raw << " d=" << c.decimals;
    }
}

struct TextToWord {
    const wchar_t* text;
    std::uint16_t decimals;
    std::uint16_t word;
};

TEST(Conversions, ScaledTextTruncatesAfterFloatNarrowing) {
    const std::vector<TextToWord> cases = {
        {L"2.3", 1, 22},  // 2.3f is just below 2.3
        {L"1.1", 1, 11},
        {L"12.5", 1, 125},
        {L"-1.5", 1, 0xFFF1},
        {L"-0.9", 0, 0},
        {L"  +3e1", 0, 30},
        {L"1.5volts", 1, 15},
        {L"abc", 1, 0},
        {L"", 2, 0},
        {L"6553.6", 1, 0},  // 65536 keeps only its low 16 bits
        {L"3.25", 2, 325},
        // Beyond 32 bits, infinite or NaN: the x86 "integer indefinite", low half 0.
        {L"1e10", 1, 0},
        {L"1e300", 0, 0},
        {L"nan", 1, 0},
        {L"1", 65535, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.word, ScaledTextToWord(c.text, c.decimals))
            << std::string(c.text, c.text + std::wcslen(c.text)) << " d=" << c.decimals;
    }
}

TEST(Conversions, IntegerTextStopsAtFirstNonDigit) {
    const std::vector<std::pair<const wchar_t*, std::uint16_t>> cases = {
        {L"12.7", 12},
        {L"abc", 0},
        {L"", 0},
        {L"-10", 0xFFF6},
        {L" 42", 42},
        {L"+7x", 7},
        {L"70000", 4464},
        // Clamped as a 32-bit conversion would: INT32_MAX and INT32_MIN.
        {L"99999999999", 0xFFFF},
        {L"-99999999999", 0},
    };
    for (const auto& [text, word] : cases) {
        EXPECT_EQ(word, IntegerTextToWord(text)) << std::string(text, text + std::wcslen(text));
    }
}

// A GUI toolkit sets LC_NUMERIC from the environment; with a decimal comma
// the C library would read "12.5" as 12 and print "12,5".
#ifdef _WIN32
bool SwitchToDecimalCommaLocale() {
    for (const char* name : {"German_Germany.1252", "de-DE", "German", "French"}) {
        if (std::setlocale(LC_NUMERIC, name) != nullptr) return true;
    }
    return false;
}
void ForgetBuiltLocales() {}
#else
bool SwitchToDecimalCommaLocale() {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"}) {
        if (std::setlocale(LC_NUMERIC, name) != nullptr) return true;
    }
    // None installed: build one beside the tests, if the tools are there.
    const std::string dir = std::string(CORVEXA_BINARY_DIR) + "/test-locales";
    const std::string build = "mkdir -p '" + dir + "' && localedef -i de_DE -f UTF-8 '" + dir +
                              "/de_DE.UTF-8' >/dev/null 2>&1";
    const std::string exists = "test -d '" + dir + "/de_DE.UTF-8'";
    // localedef may report warnings through its exit status; the folder tells.
    if (std::system(exists.c_str()) != 0) {
        const int ignored = std::system(build.c_str());
        (void)ignored;
        if (std::system(exists.c_str()) != 0) return false;
    }
    setenv("LOCPATH", dir.c_str(), 1);
    return std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
}
void ForgetBuiltLocales() {
    unsetenv("LOCPATH");
}
#endif

TEST(Conversions, DecimalPointIsIndependentOfProcessLocale) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (!SwitchToDecimalCommaLocale()) GTEST_SKIP() << "no locale with a decimal comma available";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    const std::uint16_t word = ScaledTextToWord(L"12.5", 1);
    const std::wstring shown = FormatScaled(125, 1);
    std::setlocale(LC_NUMERIC, saved.c_str());
    ForgetBuiltLocales();
    ASSERT_STREQ("1,5", probe);  // the locale really uses a comma
    EXPECT_EQ(125, word);
    EXPECT_EQ(L"12.5", shown);
}

TEST(Registers, UnitLabelsWithUnknownCodeEmpty) {
    EXPECT_EQ(L"\u00B0C", UnitLabel(0));
    EXPECT_EQ(L"mm", UnitLabel(9));
    EXPECT_EQ(L"", UnitLabel(10));
    EXPECT_EQ(L"", UnitLabel(0xFFFF));
}

TEST(Registers, OperationsMapToRegisterAndResultString) {
    struct Row {
        OperationCode code;
        int reg;
        int string;
    };
    const std::vector<Row> rows = {
        {OperationCode::WriteSignalSource, 10, 111}, {OperationCode::WriteZeroOffset, 15, 113},
        {OperationCode::WriteLowerLimit, 16, 116},   {OperationCode::WriteUpperLimit, 17, 115},
        {OperationCode::WriteGain, 18, 118},         {OperationCode::WriteTempComp, 19, 120},
        {OperationCode::WriteZeroSample, 20, 122},   {OperationCode::WriteFullSample, 21, 123},
        {OperationCode::WriteZeroOutput, 22, 127},   {OperationCode::WriteFullOutput, 23, 128},
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(IsWriteOperation(row.code));
        EXPECT_EQ(row.reg, WriteRegisterOf(row.code).value()) << static_cast<int>(row.code);
        EXPECT_EQ(row.string, ResultStringNumber(row.code)) << static_cast<int>(row.code);
        EXPECT_EQ(row.reg - kFirstRegister, ParamIndexOf(row.code));
        EXPECT_FALSE(VendorCommandOf(row.code).has_value());
    }
    const std::vector<std::pair<OperationCode, VendorCommand>> vendor = {
        {OperationCode::ConnectRequest, VendorCommand::ConnectRequest},
        {OperationCode::LinkStart, VendorCommand::LinkStart},
        {OperationCode::LinkEnd, VendorCommand::LinkEnd},
    };
    for (const auto& [code, command] : vendor) {
        EXPECT_FALSE(IsWriteOperation(code));
        EXPECT_FALSE(WriteRegisterOf(code).has_value());
        EXPECT_EQ(0, ResultStringNumber(code));
        EXPECT_EQ(command, VendorCommandOf(code).value());
    }
}

TEST(DeviceParameters, StartsWithNoSelectionAndEmptyTexts) {
    const DeviceParameters p;
    EXPECT_EQ(0xFFFF, p.signalSource);
    EXPECT_EQ(0xFFFF, p.gain);
    EXPECT_EQ(0, p.unit);
    EXPECT_EQ(3, p.baudCode);
    EXPECT_EQ(0, p.decimals);
    EXPECT_TRUE(p.zeroOffset.empty() && p.fullOutput.empty());
}

TEST(DeviceParameters, ReadInRegisterOrderFillsRecord) {
    // Words of registers 10..23 as a device would answer them.
    const std::uint16_t words[kRegisterCount] = {4,   1, 0x1234, 2,    1,    300,    0xFFF6,
                                                 500, 5, 0xFFF1, 1200, 2400, 0xFFF6, 3000};
    DeviceParameters p;
    for (int index = 0; index < kRegisterCount; ++index) StoreRegisterValue(p, index, words[index]);
    DeviceParameters expected;
    expected.signalSource = 4;
    expected.unit = 1;
    expected.baudCode = 2;
    expected.decimals = 1;
    expected.zeroOffset = L"30.0";
    expected.lowerLimit = L"-10";
    expected.upperLimit = L"500";
    expected.gain = 5;
    expected.tempComp = L"6552.1";
    expected.zeroSample = L"1200";
    expected.fullSample = L"2400";
    expected.zeroOutput = L"65526";
    expected.fullOutput = L"3000";
    EXPECT_EQ(expected, p);
}

TEST(DeviceParameters, ValuesForUnknownIndexChangeNothing) {
    DeviceParameters p;
    p.zeroOffset = L"1.0";
    const DeviceParameters before = p;
    for (int index : {int{kReservedIndex}, kNoReadPending, -1, kRegisterCount}) {
        StoreRegisterValue(p, index, 0xBEEF);
        EXPECT_EQ(before, p) << index;
    }
}

// One word, one text: the command line, the trace and the report show the
// exact value; only the window's edit keeps one decimal place.
TEST(RegisterTable, EveryWordHasOneExactTextAndOneWindowText) {
    struct Case {
        int index;
        std::uint16_t word;
        std::uint16_t decimals;
        const char* exact;
        const wchar_t* window;
    } cases[] = {
        {kZeroOffsetIndex, 1234, 2, "12.34 \u00B0C", L"12.3"},
        {kTempCompIndex, 65521, 1, "6552.1 \u00B0C", L"6552.1"},
        {kLowerLimitIndex, 0xFFF6, 1, "-10 \u00B0C", L"-10"},
        {kZeroOutputIndex, 0xFFF6, 1, "65526", L"65526"},
        {kSignalSourceIndex, 14, 1, "Float Level", L""},
        {kGainIndex, 9, 1, "code:9", L""},
        {kBaudCodeIndex, 3, 1, "9600", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exact);
        // °C is known, yet only scaled and signed words carry it.
        EXPECT_EQ(c.exact, ExactText(c.index, c.word, {c.decimals, std::uint16_t{0}}));
        EXPECT_EQ(c.window, WindowText(c.index, c.word, c.decimals));
    }
    for (const RegisterRow& row : kRegisterTable) {
        EXPECT_EQ(row.reg, RegisterOfIndex(row.index));
        EXPECT_EQ(&row, RowOfName(row.name));
        if (row.write) {
            EXPECT_EQ(&row, RowOfWrite(*row.write));
        }
        EXPECT_EQ(row.userVersion, row.index < kUserRegisterCount);
    }
}

}  // namespace
}  // namespace protocol
