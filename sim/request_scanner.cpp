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
  if (start_ > 0 && start_ >= buffer_.size() / 2) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
    start_ = 0;
  }
  buffer_.insert(buffer_.end(), data, data + length);
}

std::optional<protocol::Frame> RequestScanner::Next() {
  while (Pending() > 0) {
    const std::uint8_t* head = buffer_.data() + start_;
    if (!PlausibleStart(head[0])) {
      ++start_;
      ++skipped_;
      continue;
    }
    if (Pending() < protocol::kFrameLength) {
      return std::nullopt;
    }
    if (!CrcMatches(head)) {
      ++start_;
      ++skipped_;
      continue;
    }
    protocol::Frame frame;
    std::copy(head, head + protocol::kFrameLength, frame.begin());
    start_ += protocol::kFrameLength;
    return frame;
  }
  return std::nullopt;
}

}  // namespace corvexa::sim
