#include "protocol/registers.h"

#include "protocol/register_table.h"

namespace protocol {

const std::array<SignalSourceEntry, kSignalSourceCount> kSignalSources = {{
    {L"PT100", 0},
    {L"PT1000", 0},
    {L"CU50", 0},
    {L"K\u578B", 143},
    {L"S\u578B", 144},
    {L"R\u578B", 145},
    {L"B\u578B", 146},
    {L"N\u578B", 147},
    {L"E\u578B", 148},
    {L"J\u578B", 149},
    {L"T\u578B", 150},
    {L"WRe3/255", 0},
    {L"WRe5/26", 0},
    {L"WRe5/20", 0},
    {L"\u6D6E\u7403\u6DB2\u4F4D", 151},
}};

const std::array<const char*, kSignalSourceCount> kSignalSourceEnglishNames = {
    "PT100",  "PT1000", "CU50",   "K Type",   "S Type",  "R Type",  "B Type",      "N Type",
    "E Type", "J Type", "T Type", "WRe3/255", "WRe5/26", "WRe5/20", "Float Level",
};

const std::array<const wchar_t*, kUnitCount> kUnitLabels = {
    L"\u00B0C", L"\u00B0F", L"Mpa", L"Kpa", L"Pa", L"Bar", L"mbar", L"Psi", L"m", L"mm",
};

const std::array<const wchar_t*, kGainCount> kGainTexts = {
    L"1", L"12.5", L"25", L"50", L"75", L"100", L"125", L"150", L"200",
};

const std::array<const wchar_t*, kBaudCount> kBaudTexts = {
    L"1200", L"2400", L"4800", L"9600", L"19200",
};

std::wstring UnitLabel(std::uint16_t code) {
    return code < kUnitLabels.size() ? std::wstring(kUnitLabels[code]) : std::wstring();
}

bool IsWriteOperation(OperationCode code) {
    return RowOfWrite(code) != nullptr;
}

std::optional<std::uint16_t> WriteRegisterOf(OperationCode code) {
    const RegisterRow* row = RowOfWrite(code);
    if (row == nullptr) return std::nullopt;
    return row->reg;
}

int ParamIndexOf(OperationCode code) {
    const RegisterRow* row = RowOfWrite(code);
    return row == nullptr ? -1 : row->index;
}

int ResultStringNumber(OperationCode code) {
    const RegisterRow* row = RowOfWrite(code);
    return row == nullptr ? 0 : row->nameTextId;
}

std::optional<VendorCommand> VendorCommandOf(OperationCode code) {
    switch (code) {
        case OperationCode::ConnectRequest:
            return VendorCommand::ConnectRequest;
        case OperationCode::LinkStart:
            return VendorCommand::LinkStart;
        case OperationCode::LinkEnd:
            return VendorCommand::LinkEnd;
        default:
            return std::nullopt;
    }
}

}  // namespace protocol
