#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/exchange_outcome.h"

namespace protocol {

// What the line did while the device did not answer the handshake.
enum class LineSymptom {
    Silent,   // nothing came back at all
    OwnEcho,  // only our own requests came back: the adapter echoes, the device is silent
    NoReply,  // bytes came that formed no reply
};

struct LineDiagnosis {
    LineSymptom symptom = LineSymptom::Silent;
    std::vector<std::uint8_t> firstBytes;  // NoReply: the first bytes that came
    int baud = 9600;                       // the rate the handshake was tried at
    // The rates the probe tried after it, and the one the device answered at.
    std::vector<int> probed;
    std::optional<int> answeredAt;
};

// The bytes shown of what formed no reply.
constexpr std::size_t kShownBytes = 8;

// From the failed ConnectRequest's exchange, tried at `baud`.
LineDiagnosis DiagnoseHandshake(const ExchangeOutcome& handshake, int baud);

// The rates of the baud table (1200 to 19200) other than `baud`, nearest
// first, so a device one step off is found soonest.
std::vector<int> OtherRates(int baud);

// The rate of a baud code (register 13, the Baud Rate box), and back.
std::optional<int> BaudOfCode(std::uint16_t code);
std::optional<std::uint16_t> CodeOfBaud(int baud);

// In English for corvexa-cli: what the line did and what to check, then
// where the probe found the device ("it answered at 19200 baud: use --baud
// 19200") or that it found it nowhere.
std::string DiagnosisText(const LineDiagnosis& diagnosis);
// The symptom's name in JSON: "nothing", "own-echo", "no-reply".
const char* SymptomName(LineSymptom symptom);

}  // namespace protocol
