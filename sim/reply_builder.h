#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "protocol/frames.h"
#include "sim/register_bank.h"

namespace corvexa::sim {

// Modbus exception codes the transmitter answers with.
constexpr std::uint8_t kIllegalFunction = 0x01;
constexpr std::uint8_t kIllegalAddress = 0x02;
constexpr std::uint8_t kIllegalValue = 0x03;

// What the transmitter answers to one request, with a good CRC; empty when
// it keeps quiet (unknown vendor command). Reads and writes act on `bank`.
// With `forcedException` set, every station-1 request is refused with that
// code and nothing is written; vendor commands are answered as usual.
std::vector<std::uint8_t> BuildReply(const protocol::Frame& request, RegisterBank& bank,
                                     std::optional<std::uint8_t> forcedException = std::nullopt);

// 01 (function | 0x80) code, CRC: 5 bytes.
std::vector<std::uint8_t> ExceptionReply(std::uint8_t function, std::uint8_t code);

// Appends the CRC of everything in `frame`, low byte first.
void AppendCrc(std::vector<std::uint8_t>& frame);

}  // namespace corvexa::sim
