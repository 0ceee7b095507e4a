#include "sim/reply_builder.h"

namespace corvexa::sim {
namespace {

// A read reply must fit the 256-byte Modbus RTU frame: 3 + 2 * 125 + 2.
constexpr std::uint16_t kMaxReadCount = 125;

std::uint16_t Field(const protocol::Frame& f, std::size_t at) {
    return static_cast<std::uint16_t>(f[at] << 8 | f[at + 1]);
}

std::vector<std::uint8_t> VendorReply(std::uint8_t command) {
    std::uint8_t answer = 0;
    switch (command) {
        case 0x8F:
            answer = 0xF8;
            break;  // connect: the two hex digits swapped
        case 0xAA:
            answer = 0xAA;
            break;  // link start
        case 0xBB:
            answer = 0xBB;
            break;  // link end
        default:
            return {};
    }
    std::vector<std::uint8_t> reply{protocol::kVendorStation, answer, 0xFF, 0xFF, 0xFF, 0xFF};
    AppendCrc(reply);
    return reply;
}

std::vector<std::uint8_t> ReadReply(const protocol::Frame& request, RegisterBank& bank) {
    const std::uint16_t first = Field(request, 2);
    const std::uint16_t count = Field(request, 4);
    if (count == 0 || count > kMaxReadCount) {
        return ExceptionReply(protocol::kReadHolding, kIllegalValue);
    }
    const unsigned last = unsigned{first} + count - 1;
    if (!RegisterBank::Contains(first) || last > RegisterBank::kLast) {
        return ExceptionReply(protocol::kReadHolding, kIllegalAddress);
    }
    // 01 03 n hi lo ... CRC
    std::vector<std::uint8_t> reply{protocol::kStation, protocol::kReadHolding,
                                    static_cast<std::uint8_t>(2 * count)};
    for (unsigned reg = first; reg <= last; ++reg) {
        const std::uint16_t value = *bank.ReadForReply(static_cast<std::uint16_t>(reg));
        reply.push_back(static_cast<std::uint8_t>(value >> 8));
        reply.push_back(static_cast<std::uint8_t>(value & 0xFF));
    }
    AppendCrc(reply);
    return reply;
}

std::vector<std::uint8_t> WriteReply(const protocol::Frame& request, RegisterBank& bank) {
    const std::uint16_t reg = Field(request, 2);
    const std::uint16_t value = Field(request, 4);
    if (!bank.Set(reg, value)) {
        return ExceptionReply(protocol::kWriteSingle, kIllegalAddress);
    }
    // The answer to a write is its echo, built afresh rather than copied so
    // the CRC is ours.
    std::vector<std::uint8_t> reply(protocol::kFrameLength);
    protocol::BuildWriteRequest(reply.data(), reg, value);
    return reply;
}

}  // namespace

void AppendCrc(std::vector<std::uint8_t>& frame) {
    const std::uint16_t crc = protocol::Crc16(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
}

std::vector<std::uint8_t> ExceptionReply(std::uint8_t function, std::uint8_t code) {
    std::vector<std::uint8_t> reply{protocol::kStation, static_cast<std::uint8_t>(function | 0x80),
                                    code};
    AppendCrc(reply);
    return reply;
}

std::vector<std::uint8_t> BuildReply(const protocol::Frame& request, RegisterBank& bank,
                                     std::optional<std::uint8_t> forcedException) {
    if (request[0] == protocol::kVendorStation) {
        return VendorReply(request[1]);
    }
    if (request[0] != protocol::kStation) {
        return {};  // another station's business
    }
    const std::uint8_t function = request[1];
    if (forcedException) {
        return ExceptionReply(function, *forcedException);
    }
    switch (function) {
        case protocol::kReadHolding:
            return ReadReply(request, bank);
        case protocol::kWriteSingle:
            return WriteReply(request, bank);
        default:
            return ExceptionReply(function, kIllegalFunction);
    }
}

}  // namespace corvexa::sim
