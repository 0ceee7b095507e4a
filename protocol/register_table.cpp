#include "protocol/register_table.h"

#include <charconv>
#include <cmath>

#include "base/wide_text.h"
#include "protocol/conversions.h"

namespace protocol {

namespace {
using K = RegisterKind;
using T = CodeTable;
using Op = OperationCode;
}  // namespace

// Text ids: the window's labels (group "Main"), and the report's own
// words for the registers the window shows no label for.
const std::array<RegisterRow, kRegisterCount> kRegisterTable = {{
    {10, 0, "signal-source", "Signal Source", 111, K::Code, T::SignalSource, Op::WriteSignalSource,
     true, false},
    {11, 1, "unit", "Unit", 220, K::Code, T::Unit, std::nullopt, true, false},
    {12, 2, "reserved", "Reserved", 223, K::Ignored, T::None, std::nullopt, true, false},
    {13, 3, "baud-rate", "Baud Rate", 221, K::Code, T::Baud, std::nullopt, true, false},
    {14, 4, "decimals", "Decimals", 222, K::Unsigned, T::None, std::nullopt, true, false},
    {15, 5, "zero-offset", "Null Offset", 113, K::Scaled, T::None, Op::WriteZeroOffset, true, true},
    {16, 6, "lower-limit", "Lower Limit", 116, K::Signed, T::None, Op::WriteLowerLimit, true,
     false},
    {17, 7, "upper-limit", "Upper Limit", 115, K::Signed, T::None, Op::WriteUpperLimit, true,
     false},
    {18, 8, "gain", "Gain", 118, K::Code, T::Gain, Op::WriteGain, false, false},
    {19, 9, "temp-comp", "Temp.Comp", 120, K::Scaled, T::None, Op::WriteTempComp, false, true},
    {20, 10, "zero-sample", "Zero Sample", 122, K::Unsigned, T::None, Op::WriteZeroSample, false,
     false},
    {21, 11, "full-sample", "Full Sample", 123, K::Unsigned, T::None, Op::WriteFullSample, false,
     false},
    {22, 12, "zero-output", "Zero Output", 127, K::Unsigned, T::None, Op::WriteZeroOutput, false,
     false},
    {23, 13, "full-output", "Full Output", 128, K::Unsigned, T::None, Op::WriteFullOutput, false,
     false},
}};

std::vector<int> IndexesReadBy(bool factory) {
    std::vector<int> indexes;
    for (const RegisterRow& row : kRegisterTable)
        if (factory || row.userVersion) indexes.push_back(row.index);
    return indexes;
}

const RegisterRow* RowOfIndex(int index) {
    if (index < 0 || index >= kRegisterCount) return nullptr;
    return &kRegisterTable[static_cast<std::size_t>(index)];
}

const RegisterRow* RowOfRegister(std::uint16_t reg) {
    return RowOfIndex(static_cast<int>(reg) - kFirstRegister);
}

const RegisterRow* RowOfWrite(OperationCode code) {
    for (const RegisterRow& row : kRegisterTable)
        if (row.write == code) return &row;
    return nullptr;
}

const RegisterRow* RowOfName(const std::string& name) {
    for (const RegisterRow& row : kRegisterTable)
        if (name == row.name) return &row;
    return nullptr;
}

std::string CodeName(CodeTable table, std::uint16_t code) {
    using corvexa::base::ToUtf8;
    switch (table) {
        case CodeTable::SignalSource:
            return code < kSignalSourceCount ? kSignalSourceEnglishNames[code] : "";
        case CodeTable::Unit:
            return ToUtf8(UnitLabel(code));
        case CodeTable::Baud:
            return code < kBaudCount ? ToUtf8(kBaudTexts[code]) : "";
        case CodeTable::Gain:
            return code < kGainCount ? ToUtf8(kGainTexts[code]) : "";
        case CodeTable::None:
            break;
    }
    return "";
}

double ExactNumber(int index, std::uint16_t word, std::uint16_t decimals) {
    const RegisterRow* row = RowOfIndex(index);
    if (row != nullptr && row->kind == K::Scaled) return word / std::pow(10.0, decimals);
    if (row != nullptr && row->kind == K::Signed) return static_cast<std::int16_t>(word);
    return word;
}

std::string ExactText(int index, std::uint16_t word, const WordContext& context) {
    const RegisterRow* row = RowOfIndex(index);
    if (row == nullptr) return std::to_string(word);
    std::string number;
    switch (row->kind) {
        case K::Code: {
            const std::string name = CodeName(row->codes, word);
            return name.empty() ? "code:" + std::to_string(word) : name;
        }
        case K::Scaled: {
            if (!context.decimals) return "";
            char buffer[64];
            const int places = *context.decimals > 9 ? 9 : *context.decimals;
            const auto end = std::to_chars(buffer, buffer + sizeof buffer,
                                           ExactNumber(index, word, *context.decimals),
                                           std::chars_format::fixed, places)
                                 .ptr;
            number.assign(buffer, end);
            break;
        }
        case K::Signed:
            number = std::to_string(static_cast<std::int16_t>(word));
            break;
        case K::Unsigned:
        case K::Ignored:
            return std::to_string(word);
    }
    const std::string unit = context.unit ? CodeName(CodeTable::Unit, *context.unit) : "";
    return unit.empty() ? number : number + " " + unit;
}

std::wstring WindowText(int index, std::uint16_t word, std::uint16_t decimals) {
    const RegisterRow* row = RowOfIndex(index);
    if (row == nullptr) return {};
    switch (row->kind) {
        case K::Scaled:
            return row->windowOneDecimal
                       ? FormatScaled(word, decimals)
                       : corvexa::base::FromUtf8(ExactText(index, word, {decimals, std::nullopt}));
        case K::Signed:
            return FormatSigned(word);
        case K::Unsigned:
            return FormatUnsigned(word);
        case K::Code:
        case K::Ignored:
            break;
    }
    return {};
}

}  // namespace protocol
