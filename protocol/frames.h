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

// Exception: a Modbus exception reply, 01 83 code crc crc to a read or
// 01 86 code crc crc to a write (the function code with its top bit set).
enum class ReplyKind {
    ConnectAccepted,
    RegisterValue,
    WriteEcho,
    LinkStarted,
    LinkEnded,
    Exception,
    Other
};

// Station-1 replies and their lengths with the CRC: 01 03 02 hi lo crc crc,
// the 8-byte echo of a write, 01 8x code crc crc.
constexpr std::size_t kReadReplyLength = 7;
constexpr std::size_t kExceptionLength = 5;
constexpr std::uint8_t kExceptionBit = 0x80;

struct Reply {
    ReplyKind kind = ReplyKind::Other;
    // Set only for a whole RegisterValue reply whose CRC checks.
    std::optional<std::uint16_t> value;
    // Set only for a WriteEcho that came whole: the 8 bytes as received.
    std::optional<Frame> echo = std::nullopt;
    // Exception only: the function refused (0x03 or 0x06) and the code.
    std::uint8_t function = 0;
    std::uint8_t exception = 0;

    bool operator==(const Reply&) const = default;
};

// Kind of a reply from its first two bytes alone.
ReplyKind ClassifyHeader(std::uint8_t first, std::uint8_t second);

// True when the last two bytes of data[0..length) are the CRC of the rest,
// low byte first.
bool CrcCloses(const std::uint8_t* data, std::size_t length);

// One chunk holding one reply. Shorter than 2 bytes: Other. A read reply
// carries its value, and an exception its code, only when the chunk holds
// the whole reply and its CRC checks; the vendor answers are known by
// their two bytes.
Reply ClassifyReply(const std::uint8_t* data, std::size_t length);

// English words for a Modbus exception code: "illegal data value".
const char* ExceptionWords(std::uint8_t code);

}  // namespace protocol
