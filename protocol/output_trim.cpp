#include "protocol/output_trim.h"

#include <cmath>

#include "protocol/conversions.h"
#include "protocol/value_check.h"

namespace protocol {

OutputTargets TargetsOf(OutputSignal signal) {
    switch (signal) {
        case OutputSignal::Current4To20mA:
            return {4.0, 20.0};
        case OutputSignal::Voltage0To10V:
            return {0.0, 10.0};
    }
    return {4.0, 20.0};
}

std::string SignalName(OutputSignal signal) {
    return signal == OutputSignal::Voltage0To10V ? "0-10V" : "4-20mA";
}

std::optional<OutputSignal> ParseSignalName(std::string_view name) {
    if (name == "4-20mA") return OutputSignal::Current4To20mA;
    if (name == "0-10V") return OutputSignal::Voltage0To10V;
    return std::nullopt;
}

namespace {

// Rounded to the nearest word, or nothing outside 0..65535.
std::optional<std::uint16_t> ToWord(double exact) {
    if (!std::isfinite(exact)) return std::nullopt;
    const double rounded = std::round(exact);
    if (rounded < 0.0 || rounded > 65535.0) return std::nullopt;
    return static_cast<std::uint16_t>(rounded);
}

}  // namespace

TrimResult ComputeTrim(const TrimRequest& request) {
    TrimResult result;
    const double mz = request.measuredZero;
    const double mf = request.measuredFull;
    if (!std::isfinite(mz) || !std::isfinite(mf)) {
        result.problem = TrimProblem::NotANumber;
        return result;
    }
    if (mf == mz) {
        result.problem = TrimProblem::EqualReadings;
        return result;
    }
    if (mf < mz) {
        result.problem = TrimProblem::ReadingsReversed;
        return result;
    }
    const OutputTargets targets = TargetsOf(request.signal);
    const double wz = request.zeroWord;
    const double wf = request.fullWord;
    const double slope = (wf - wz) / (mf - mz);
    const auto newZero = ToWord(wz + (targets.zero - mz) * slope);
    const auto newFull = ToWord(wf + (targets.full - mf) * slope);
    if (!newZero || !newFull) {
        result.problem = TrimProblem::WordOutOfRange;
        return result;
    }
    result.newZeroWord = *newZero;
    result.newFullWord = *newFull;
    return result;
}

std::optional<double> ParseReading(const std::wstring& text) {
    if (!IsDecimalText(text, false)) return std::nullopt;
    const double value = ParseDouble(text);
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

std::wstring DescribeTrimProblem(TrimProblem problem) {
    switch (problem) {
        case TrimProblem::None:
            return L"";
        case TrimProblem::NotANumber:
            return L"a reading is not a number";
        case TrimProblem::EqualReadings:
            return L"the two readings are equal";
        case TrimProblem::ReadingsReversed:
            return L"the full reading is below the zero reading";
        case TrimProblem::WordOutOfRange:
            return L"a new word would fall outside 0 to 65535";
    }
    return L"";
}

}  // namespace protocol
