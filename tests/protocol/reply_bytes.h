#pragma once

// Device replies as raw bytes, built by hand for the protocol tests.

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "protocol/frames.h"

namespace protocol::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes WithCrc(Bytes frame) {
    const std::uint16_t crc = Crc16(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

inline Bytes ReadReplyBytes(std::uint16_t value) {
    return WithCrc({0x01, 0x03, 0x02, static_cast<std::uint8_t>(value >> 8),
                    static_cast<std::uint8_t>(value & 0xFF)});
}

// A write is answered by the echo of its request.
inline Bytes EchoBytes(std::uint16_t reg, std::uint16_t value) {
    const Frame f = WriteRequest(reg, value);
    return Bytes(f.begin(), f.end());
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

}  // namespace protocol::testing
