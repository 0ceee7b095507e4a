#include "cli/parameters.h"

#include <charconv>

#include "cli/text.h"
#include "protocol/register_table.h"
#include "protocol/value_check.h"

namespace cli {

namespace {

using protocol::OperationCode;

bool IsScaled(int index) {
    return protocol::kRegisterTable[static_cast<std::size_t>(index)].kind ==
           protocol::RegisterKind::Scaled;
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

// What a word needs beside itself: the decimals and the unit.
protocol::WordContext ContextOf(const RegisterWords& words) {
    return {words[protocol::kDecimalsIndex], words[protocol::kUnitIndex]};
}

}  // namespace

const std::array<ParameterInfo, protocol::kRegisterCount>& Parameters() {
    return protocol::kRegisterTable;
}

const ParameterInfo* FindWritable(const std::string& name) {
    const ParameterInfo* p = protocol::RowOfName(name);
    return p != nullptr && p->write ? p : nullptr;
}

std::string WritableNames() {
    std::string names;
    for (const ParameterInfo& p : protocol::kRegisterTable) {
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
        checked = protocol::CheckTypedValue(code, FromUtf8(a.text), 0);
        // A scaled field's range is the device's decimals' and unit's: only
        // what is no number is refused here, the rest by Resolve, which
        // says the range as the device shows it.
        if (IsScaled(a.parameter->index)) {
            if (checked.problem == protocol::ValueProblem::NotANumber)
                return std::string(a.parameter->name) + "=" + a.text + " refused: not a number";
            return a;
        }
        if (!checked.ok()) return Refusal(a, checked);
    }
    a.word = checked.word;
    return a;
}

std::string Resolve(Assignment& a, std::uint16_t decimals, std::optional<std::uint16_t> unit) {
    if (a.word) return {};
    const auto checked = protocol::CheckTypedValue(*a.parameter->write, FromUtf8(a.text), decimals);
    if (!checked.ok()) {
        // "0.0 to 6553.5 °C at 1 decimal": the range as the device shows it.
        const std::string label = unit ? ToUtf8(protocol::UnitLabel(*unit)) : std::string();
        return Refusal(a, checked) + (label.empty() ? "" : " " + label) + " at " +
               std::to_string(decimals) + (decimals == 1 ? " decimal" : " decimals");
    }
    a.word = checked.word;
    return {};
}

std::string ShownText(int index, const RegisterWords& words) {
    const auto word = words[static_cast<std::size_t>(index)];
    if (!word) return "-";
    const std::string text = protocol::ExactText(index, *word, ContextOf(words));
    return text.empty() ? "-" : text;
}

}  // namespace cli
