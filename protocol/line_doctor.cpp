#include "protocol/line_doctor.h"

#include <algorithm>
#include <cstdlib>

#include "protocol/registers.h"
#include "protocol/trace_file.h"

namespace protocol {

namespace {

// True when `heard` is nothing but whole copies of `request`.
bool OnlyCopiesOf(const LineHeard& heard, const Frame& request) {
    if (heard.bytes == 0 || heard.bytes % kFrameLength != 0) return false;
    for (std::size_t i = 0; i < heard.first.size(); ++i)
        if (heard.first[i] != request[i % kFrameLength]) return false;
    return true;
}

std::string RateList(const std::vector<int>& rates) {
    std::string text;
    for (std::size_t i = 0; i < rates.size(); ++i)
        text += (i == 0 ? "" : ", ") + std::to_string(rates[i]);
    return text;
}

}  // namespace

LineDiagnosis DiagnoseHandshake(const ExchangeOutcome& handshake, int baud) {
    LineDiagnosis diagnosis;
    diagnosis.baud = baud;
    const LineHeard& heard = handshake.heard;
    if (heard.bytes == 0) {
        diagnosis.symptom = heard.echoed > 0 ? LineSymptom::OwnEcho : LineSymptom::Silent;
    } else if (OnlyCopiesOf(heard, handshake.request)) {
        // An echo the link was told not to look for.
        diagnosis.symptom = LineSymptom::OwnEcho;
    } else {
        diagnosis.symptom = LineSymptom::NoReply;
        const std::size_t shown = std::min(kShownBytes, heard.first.size());
        diagnosis.firstBytes.assign(heard.first.begin(), heard.first.begin() + shown);
    }
    return diagnosis;
}

std::optional<int> BaudOfCode(std::uint16_t code) {
    if (code >= kBaudCount) return std::nullopt;
    return static_cast<int>(std::wcstol(kBaudTexts[code], nullptr, 10));
}

std::optional<std::uint16_t> CodeOfBaud(int baud) {
    for (std::uint16_t code = 0; code < kBaudCount; ++code)
        if (BaudOfCode(code) == baud) return code;
    return std::nullopt;
}

std::vector<int> OtherRates(int baud) {
    std::vector<int> rates;
    for (std::uint16_t code = 0; code < kBaudCount; ++code)
        if (*BaudOfCode(code) != baud) rates.push_back(*BaudOfCode(code));
    // Nearest first, by the ratio of the rates.
    const auto distance = [baud](int rate) {
        return rate > baud ? static_cast<double>(rate) / baud : static_cast<double>(baud) / rate;
    };
    std::stable_sort(rates.begin(), rates.end(),
                     [&](int a, int b) { return distance(a) < distance(b); });
    return rates;
}

const char* SymptomName(LineSymptom symptom) {
    switch (symptom) {
        case LineSymptom::OwnEcho:
            return "own-echo";
        case LineSymptom::NoReply:
            return "no-reply";
        case LineSymptom::Silent:
            break;
    }
    return "nothing";
}

std::string DiagnosisText(const LineDiagnosis& diagnosis) {
    const std::string at = " at " + std::to_string(diagnosis.baud) + " baud";
    std::string text;
    switch (diagnosis.symptom) {
        case LineSymptom::Silent:
            text = "nothing came back" + at +
                   ": check the device's power, the wiring and that this is its port";
            break;
        case LineSymptom::OwnEcho:
            text = "only our own requests came back" + at +
                   ": the adapter echoes what it sends and the device is silent; check the "
                   "device's power and its A/B wiring";
            break;
        case LineSymptom::NoReply:
            text = "bytes came back" + at + " that form no reply (" +
                   HexText(diagnosis.firstBytes) +
                   "): the wrong baud rate or parity, A and B swapped, or another device on "
                   "the line";
            break;
    }
    if (diagnosis.answeredAt) {
        text += "; it answered at " + std::to_string(*diagnosis.answeredAt) + " baud: use --baud " +
                std::to_string(*diagnosis.answeredAt);
    } else if (!diagnosis.probed.empty()) {
        text += "; no answer at " + RateList(diagnosis.probed) + " baud either";
    }
    return text;
}

}  // namespace protocol
