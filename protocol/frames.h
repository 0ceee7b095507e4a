#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace protocol {

// Every request on the wire is 8 bytes: two header bytes, two 16-bit fields
// high byte first, CRC low byte first.
constexpr std::size_t kFrameLength = 8;
using Frame = std::array<std::uint8_t, kFrameLength>;

constexpr std::uint8_t kStation = 0x01;
constexpr std::uint8_t kVendorStation = 0xFF;
constexpr std::uint8_t kReadHolding = 0x03;
constexpr std::uint8_t kWriteSingle = 0x06;

// CRC-16/MODBUS (reflected polynomial 0xA001, start 0xFFFF).
std::uint16_t Crc16(const std::uint8_t* data, std::size_t length);

// Both fill exactly kFrameLength bytes of `out` and return kFrameLength.
std::size_t BuildReadRequest(std::uint8_t* out, std::uint16_t reg, std::uint16_t count);
std::size_t BuildWriteRequest(std::uint8_t* out, std::uint16_t reg, std::uint16_t value);
Frame ReadRequest(std::uint16_t reg);
Frame WriteRequest(std::uint16_t reg, std::uint16_t value);

enum class VendorCommand { ConnectRequest, LinkStart, LinkEnd };

// The three vendor frames are program constants, sent byte for byte.
const Frame& VendorFrame(VendorCommand command);

enum class ReplyKind { ConnectAccepted, RegisterValue, WriteEcho, LinkStarted, LinkEnded, Other };

struct Reply {
    ReplyKind kind = ReplyKind::Other;
    // Set only for a RegisterValue chunk that holds bytes 3 and 4.
    std::optional<std::uint16_t> value;
    // Set only for a WriteEcho that came whole: the 8 bytes as received.
    std::optional<Frame> echo = std::nullopt;

    bool operator==(const Reply&) const = default;
};

// Kind of a reply from its first two bytes alone. The CRC is not verified.
ReplyKind ClassifyHeader(std::uint8_t first, std::uint8_t second);

// One chunk as the engine delivered it. Shorter than 2 bytes: Other.
Reply ClassifyReply(const std::uint8_t* data, std::size_t length);

}  // namespace protocol
