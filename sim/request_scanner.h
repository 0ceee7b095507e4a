#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "protocol/frames.h"

namespace corvexa::sim {

// Cuts the byte stream from the program into 8-byte requests. A request
// starts with station 1 or the vendor station 255 and carries a good CRC;
// anything else is skipped one byte at a time until a request lines up
// again, so garbage or a torn frame costs at most the bytes it spans.
class RequestScanner {
public:
    void Feed(const std::uint8_t* data, std::size_t length);
    // The next complete request, or nullopt until more bytes arrive.
    std::optional<protocol::Frame> Next();
    // Bytes thrown away so far while looking for a request.
    std::size_t SkippedBytes() const { return m_skipped; }
    std::size_t Pending() const { return m_buffer.size() - m_start; }

private:
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_start = 0;
    std::size_t m_skipped = 0;
};

}  // namespace corvexa::sim
