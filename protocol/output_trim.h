#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace protocol {

// What the transmitter's output drives, and so what a meter on it reads at
// the zero and full input.
enum class OutputSignal {
    Current4To20mA,  // targets 4 mA and 20 mA
    Voltage0To10V,   // targets 0 V and 10 V
};

struct OutputTargets {
    double zero;
    double full;
};
OutputTargets TargetsOf(OutputSignal signal);
// "4-20mA" or "0-10V", as the command line spells them.
std::string SignalName(OutputSignal signal);
std::optional<OutputSignal> ParseSignalName(std::string_view name);

enum class TrimProblem {
    None,
    NotANumber,        // a reading is not a finite decimal number
    EqualReadings,     // no slope from two equal readings
    ReadingsReversed,  // the full reading lies below the zero reading
    WordOutOfRange,    // a new word falls outside 0..65535
};

struct TrimRequest {
    OutputSignal signal = OutputSignal::Current4To20mA;
    std::uint16_t zeroWord = 0;  // zero and full output words now in the device
    std::uint16_t fullWord = 0;
    double measuredZero = 0.0;  // meter readings at the zero and full input
    double measuredFull = 0.0;
};

struct TrimResult {
    TrimProblem problem = TrimProblem::None;
    std::uint16_t newZeroWord = 0;  // meaningful only when ok()
    std::uint16_t newFullWord = 0;

    bool ok() const { return problem == TrimProblem::None; }
};

// The two-point line through the readings:
//   slope = (W_full - W_zero) / (M_full - M_zero)
//   W_zero' = W_zero + (target_zero - M_zero) * slope
//   W_full' = W_full + (target_full - M_full) * slope
// each rounded to the nearest word (halves away from zero).
TrimResult ComputeTrim(const TrimRequest& request);

// A typed meter reading: the whole text a decimal number ("4.012", " 19.98 ").
std::optional<double> ParseReading(const std::wstring& text);

// English words for a refusal, e.g. for the command line; empty when ok().
std::wstring DescribeTrimProblem(TrimProblem problem);

}  // namespace protocol
