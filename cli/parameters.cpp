#include "cli/parameters.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "cli/text.h"
#include "protocol/value_check.h"

namespace cli {

namespace {

using protocol::OperationCode;

constexpr std::array<ParameterInfo, protocol::kRegisterCount> kParameters = {{
    {"signal-source", 0, OperationCode::WriteSignalSource},
    {"unit", 1, std::nullopt},
    {"reserved", 2, std::nullopt},
    {"baud-rate", 3, std::nullopt},
    {"decimals", 4, std::nullopt},
    {"zero-offset", 5, OperationCode::WriteZeroOffset},
    {"lower-limit", 6, OperationCode::WriteLowerLimit},
    {"upper-limit", 7, OperationCode::WriteUpperLimit},
    {"gain", 8, OperationCode::WriteGain},
    {"temp-comp", 9, OperationCode::WriteTempComp},
    {"zero-sample", 10, OperationCode::WriteZeroSample},
    {"full-sample", 11, OperationCode::WriteFullSample},
    {"zero-output", 12, OperationCode::WriteZeroOutput},
    {"full-output", 13, OperationCode::WriteFullOutput},
}};

bool IsScaled(int index) {
    return index == protocol::kZeroOffsetIndex || index == protocol::kTempCompIndex;
}

std::optional<int> WholeNumber(const std::string& text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// "code:N" names a box position directly.
std::optional<int> ExplicitCode(const std::string& text) {
    if (Lower(text).rfind("code:", 0) != 0) return std::nullopt;
    return WholeNumber(text.substr(5));
}

int SignalSourceSelection(const std::string& text) {
    if (auto code = ExplicitCode(text)) return *code;
    if (auto code = WholeNumber(text)) return *code;
    const std::string typed = Lower(text);
    for (int code = 0; code < protocol::kSignalSourceCount; ++code) {
        const std::string english = Lower(protocol::kSignalSourceEnglishNames[code]);
        const std::string original = Lower(ToUtf8(protocol::kSignalSources[code].firstFill));
        // A thermocouple also goes by its letter alone: "K".
        const bool letter =
            english.size() == 6 && english.substr(1) == " type" && typed == english.substr(0, 1);
        if (typed == english || typed == original || letter) return code;
    }
    return -1;
}

// Gain is typed as the factor the window shows ("25"); a bare number is
// always a factor, so codes are written code:N.
int GainSelection(const std::string& text) {
    if (auto code = ExplicitCode(text)) return *code;
    for (int code = 0; code < protocol::kGainCount; ++code) {
        if (text == ToUtf8(protocol::kGainTexts[code])) return code;
    }
    return -1;
}

std::string Refusal(const Assignment& a, const protocol::CheckedValue& checked) {
    return std::string(a.parameter->name) + "=" + a.text +
           " refused: " + ToUtf8(protocol::DescribeProblem(checked));
}

std::string Scaled(std::uint16_t raw, std::uint16_t decimals) {
    const int places = decimals > 9 ? 9 : decimals;
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", places, raw / std::pow(10.0, decimals));
    return text;
}

std::string WithUnit(const std::string& value, const RegisterWords& words) {
    const auto unit = words[protocol::kUnitIndex];
    if (!unit) return value;
    const std::string label = ToUtf8(protocol::UnitLabel(*unit));
    return label.empty() ? value : value + " " + label;
}

}  // namespace

const std::array<ParameterInfo, protocol::kRegisterCount>& Parameters() {
    return kParameters;
}

const ParameterInfo* FindWritable(const std::string& name) {
    for (const ParameterInfo& p : kParameters) {
        if (p.write && name == p.name) return &p;
    }
    return nullptr;
}

std::string WritableNames() {
    std::string names;
    for (const ParameterInfo& p : kParameters) {
        if (!p.write) continue;
        if (!names.empty()) names += ", ";
        names += p.name;
    }
    return names;
}

std::variant<Assignment, std::string> ParseAssignment(const std::string& argument) {
    const std::size_t equals = argument.find('=');
    if (equals == std::string::npos) {
        return "expected NAME=VALUE, got '" + argument + "'";
    }
    Assignment a;
    const std::string name = argument.substr(0, equals);
    a.text = argument.substr(equals + 1);
    a.parameter = FindWritable(name);
    if (a.parameter == nullptr) {
        return "unknown parameter '" + name + "'; the parameters are " + WritableNames();
    }
    const OperationCode code = *a.parameter->write;
    protocol::CheckedValue checked;
    if (code == OperationCode::WriteSignalSource || code == OperationCode::WriteGain) {
        const bool source = code == OperationCode::WriteSignalSource;
        const int selection = source ? SignalSourceSelection(a.text) : GainSelection(a.text);
        const int count = source ? protocol::kSignalSourceCount : protocol::kGainCount;
        checked = protocol::CheckSelection(selection < count ? selection : -1);
        if (!checked.ok()) {
            return std::string(a.parameter->name) + "=" + a.text +
                   " refused: not in the list; it takes " +
                   (source ? "PT100, PT1000, CU50, K ... T, WRe3/255, WRe5/26, WRe5/20, Float "
                             "Level or code:0 to code:14"
                           : "1, 12.5, 25, 50, 75, 100, 125, 150, 200 or code:0 to code:8");
        }
    } else {
        // Scaled fields: the widest range is the one of 0 decimal places, so
        // what fails there fails on every device; the rest waits for Resolve.
        checked = protocol::CheckTypedValue(code, FromUtf8(a.text), 0);
        if (!checked.ok()) {
            if (IsScaled(a.parameter->index) &&
                checked.problem == protocol::ValueProblem::OutOfRange) {
                checked.range = L"0 to 65535 / 10^decimals";
            }
            return Refusal(a, checked);
        }
        if (IsScaled(a.parameter->index)) return a;
    }
    a.word = checked.word;
    return a;
}

std::string Resolve(Assignment& a, std::uint16_t decimals) {
    if (a.word) return {};
    const auto checked = protocol::CheckTypedValue(*a.parameter->write, FromUtf8(a.text), decimals);
    if (!checked.ok()) return Refusal(a, checked);
    a.word = checked.word;
    return {};
}

std::string SignalSourceText(std::uint16_t code) {
    return code < protocol::kSignalSourceEnglishNames.size()
               ? protocol::kSignalSourceEnglishNames[code]
               : "code:" + std::to_string(code);
}

std::string GainText(std::uint16_t code) {
    return code < protocol::kGainCount ? ToUtf8(protocol::kGainTexts[code])
                                       : "code:" + std::to_string(code);
}

std::string ShownText(int index, const RegisterWords& words) {
    const auto word = words[static_cast<std::size_t>(index)];
    if (!word) return "-";
    const auto decimals = words[protocol::kDecimalsIndex];
    switch (index) {
        case protocol::kSignalSourceIndex:
            return SignalSourceText(*word);
        case protocol::kUnitIndex: {
            const std::string label = ToUtf8(protocol::UnitLabel(*word));
            return label.empty() ? "code:" + std::to_string(*word) : label;
        }
        case protocol::kBaudCodeIndex:
            return *word < protocol::kBaudCount ? ToUtf8(protocol::kBaudTexts[*word])
                                                : "code:" + std::to_string(*word);
        case protocol::kZeroOffsetIndex:
        case protocol::kTempCompIndex:
            return decimals ? WithUnit(Scaled(*word, *decimals), words) : "-";
        case protocol::kLowerLimitIndex:
        case protocol::kUpperLimitIndex:
            return WithUnit(std::to_string(static_cast<std::int16_t>(*word)), words);
        case protocol::kGainIndex:
            return GainText(*word);
        default:
            break;
    }
    return std::to_string(*word);
}

nlohmann::ordered_json ShownJson(int index, const RegisterWords& words) {
    const auto word = words[static_cast<std::size_t>(index)];
    if (!word) return nullptr;
    const auto decimals = words[protocol::kDecimalsIndex];
    switch (index) {
        case protocol::kSignalSourceIndex:
            return SignalSourceText(*word);
        case protocol::kUnitIndex: {
            const std::string label = ToUtf8(protocol::UnitLabel(*word));
            return label.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(label);
        }
        case protocol::kBaudCodeIndex:
            return *word < protocol::kBaudCount
                       ? nlohmann::ordered_json(std::stoi(ToUtf8(protocol::kBaudTexts[*word])))
                       : nlohmann::ordered_json(nullptr);
        case protocol::kZeroOffsetIndex:
        case protocol::kTempCompIndex:
            // The exact value: the text with the device's decimal places.
            return decimals ? nlohmann::ordered_json(std::stod(Scaled(*word, *decimals)))
                            : nlohmann::ordered_json(nullptr);
        case protocol::kLowerLimitIndex:
        case protocol::kUpperLimitIndex:
            return static_cast<std::int16_t>(*word);
        case protocol::kGainIndex:
            return GainText(*word);
        default:
            break;
    }
    return *word;
}

}  // namespace cli
