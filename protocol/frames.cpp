#include "protocol/frames.h"

namespace protocol {

namespace {

std::size_t BuildFrame(std::uint8_t* out, std::uint8_t function, std::uint16_t reg,
                       std::uint16_t field) {
    out[0] = kStation;
    out[1] = function;
    out[2] = static_cast<std::uint8_t>(reg >> 8);
    out[3] = static_cast<std::uint8_t>(reg & 0xFF);
    out[4] = static_cast<std::uint8_t>(field >> 8);
    out[5] = static_cast<std::uint8_t>(field & 0xFF);
    const std::uint16_t crc = Crc16(out, 6);
    out[6] = static_cast<std::uint8_t>(crc & 0xFF);
    out[7] = static_cast<std::uint8_t>(crc >> 8);
    return kFrameLength;
}

// FF cmd FF FF FF FF crc-lo crc-hi
constexpr Frame kConnectRequest = {0xFF, 0x8F, 0xFF, 0xFF, 0xFF, 0xFF, 0x40, 0x5F};
constexpr Frame kLinkStart = {0xFF, 0xAA, 0xFF, 0xFF, 0xFF, 0xFF, 0x0D, 0x98};
constexpr Frame kLinkEnd = {0xFF, 0xBB, 0xFF, 0xFF, 0xFF, 0xFF, 0xF1, 0x9B};

}  // namespace

std::uint16_t Crc16(const std::uint8_t* data, std::size_t length) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<std::uint16_t>(crc >> 1);
        }
    }
    return crc;
}

std::size_t BuildReadRequest(std::uint8_t* out, std::uint16_t reg, std::uint16_t count) {
    return BuildFrame(out, kReadHolding, reg, count);
}

std::size_t BuildWriteRequest(std::uint8_t* out, std::uint16_t reg, std::uint16_t value) {
    return BuildFrame(out, kWriteSingle, reg, value);
}

Frame ReadRequest(std::uint16_t reg) {
    Frame frame{};
    BuildReadRequest(frame.data(), reg, 1);
    return frame;
}

Frame WriteRequest(std::uint16_t reg, std::uint16_t value) {
    Frame frame{};
    BuildWriteRequest(frame.data(), reg, value);
    return frame;
}

const Frame& VendorFrame(VendorCommand command) {
    switch (command) {
        case VendorCommand::ConnectRequest:
            return kConnectRequest;
        case VendorCommand::LinkStart:
            return kLinkStart;
        case VendorCommand::LinkEnd:
            break;
    }
    return kLinkEnd;
}

ReplyKind ClassifyHeader(std::uint8_t first, std::uint8_t second) {
    if (first == kStation) {
        if (second == kReadHolding) return ReplyKind::RegisterValue;
        if (second == kWriteSingle) return ReplyKind::WriteEcho;
        if (second == (kReadHolding | kExceptionBit) || second == (kWriteSingle | kExceptionBit))
            return ReplyKind::Exception;
        return ReplyKind::Other;
    }
    if (first == kVendorStation) {
        // The answer to 0x8F is 0xF8 (nibbles swapped); the others echo their command.
        if (second == 0xF8) return ReplyKind::ConnectAccepted;
        if (second == 0xAA) return ReplyKind::LinkStarted;
        if (second == 0xBB) return ReplyKind::LinkEnded;
    }
    return ReplyKind::Other;
}

bool CrcCloses(const std::uint8_t* data, std::size_t length) {
    if (length < 3) return false;
    const std::uint16_t crc = Crc16(data, length - 2);
    return data[length - 2] == (crc & 0xFF) && data[length - 1] == (crc >> 8);
}

Reply ClassifyReply(const std::uint8_t* data, std::size_t length) {
    Reply reply;
    if (length < 2) return reply;
    reply.kind = ClassifyHeader(data[0], data[1]);
    // A value or a code that the CRC does not vouch for is no value: one
    // flipped bit would otherwise be shown, or scale every later write.
    if (reply.kind == ReplyKind::RegisterValue && length >= kReadReplyLength && data[2] == 2 &&
        CrcCloses(data, kReadReplyLength)) {
        reply.value = static_cast<std::uint16_t>((data[3] << 8) | data[4]);
    }
    if (reply.kind == ReplyKind::Exception && length >= kExceptionLength &&
        CrcCloses(data, kExceptionLength)) {
        reply.function = static_cast<std::uint8_t>(data[1] & ~kExceptionBit);
        reply.exception = data[2];
    }
    return reply;
}

const char* ExceptionWords(std::uint8_t code) {
    switch (code) {
        case 0x01:
            return "illegal function";
        case 0x02:
            return "illegal data address";
        case 0x03:
            return "illegal data value";
        case 0x04:
            return "device failure";
        case 0x05:
            return "acknowledge";
        case 0x06:
            return "device busy";
        default:
            return "unknown exception";
    }
}

}  // namespace protocol
