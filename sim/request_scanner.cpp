#include "sim/request_scanner.h"

namespace corvexa::sim {
namespace {

bool PlausibleStart(std::uint8_t byte) {
    return byte == protocol::kStation || byte == protocol::kVendorStation;
}

bool CrcMatches(const std::uint8_t* frame) {
    const std::uint16_t crc = protocol::Crc16(frame, 6);
    return frame[6] == (crc & 0xFF) && frame[7] == (crc >> 8);
}

}  // namespace

void RequestScanner::Feed(const std::uint8_t* data, std::size_t length) {
    // Compact now and then so the buffer does not grow with the stream.
    if (m_start > 0 && m_start >= m_buffer.size() / 2) {
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(m_start));
        m_start = 0;
    }
    m_buffer.insert(m_buffer.end(), data, data + length);
}

std::optional<protocol::Frame> RequestScanner::Next() {
    while (Pending() > 0) {
        const std::uint8_t* head = m_buffer.data() + m_start;
        if (!PlausibleStart(head[0])) {
            ++m_start;
            ++m_skipped;
            continue;
        }
        if (Pending() < protocol::kFrameLength) {
            return std::nullopt;
        }
        if (!CrcMatches(head)) {
            ++m_start;
            ++m_skipped;
            continue;
        }
        protocol::Frame frame;
        std::copy(head, head + protocol::kFrameLength, frame.begin());
        m_start += protocol::kFrameLength;
        return frame;
    }
    return std::nullopt;
}

}  // namespace corvexa::sim
