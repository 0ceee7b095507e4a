#include "sim/fault_modes.h"

#include <algorithm>

#include "protocol/frames.h"

namespace corvexa::sim {
namespace {

std::vector<std::size_t> Cuts(std::size_t size, const FaultModes& faults) {
    std::vector<std::size_t> cuts;
    if (!faults.splitOffsets.empty()) {
        for (std::size_t at : faults.splitOffsets) {
            if (at > 0 && at < size) {
                cuts.push_back(at);
            }
        }
    } else if (faults.splitPieces > 1) {
        const std::size_t pieces = std::min(faults.splitPieces, size);
        for (std::size_t i = 1; i < pieces; ++i) {
            cuts.push_back(i * size / pieces);
        }
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    return cuts;
}

}  // namespace

std::vector<std::vector<std::uint8_t>> SplitReply(const std::vector<std::uint8_t>& reply,
                                                  const FaultModes& faults) {
    std::vector<std::vector<std::uint8_t>> pieces;
    std::size_t from = 0;
    for (std::size_t cut : Cuts(reply.size(), faults)) {
        pieces.emplace_back(reply.begin() + static_cast<std::ptrdiff_t>(from),
                            reply.begin() + static_cast<std::ptrdiff_t>(cut));
        from = cut;
    }
    pieces.emplace_back(reply.begin() + static_cast<std::ptrdiff_t>(from), reply.end());
    return pieces;
}

std::chrono::milliseconds ApplyReplyFaults(const std::vector<std::uint8_t>& request,
                                           std::vector<std::uint8_t>& reply,
                                           const FaultModes& faults) {
    const bool stationOne = request.size() >= 4 && request[0] == protocol::kStation;
    if (faults.alterEcho && stationOne && request[1] == protocol::kWriteSingle &&
        reply.size() == protocol::kFrameLength && reply[1] == protocol::kWriteSingle) {
        reply[5] ^= 0x01;
        const std::uint16_t crc = protocol::Crc16(reply.data(), protocol::kFrameLength - 2);
        reply[6] = static_cast<std::uint8_t>(crc & 0xFF);
        reply[7] = static_cast<std::uint8_t>(crc >> 8);
    }
    if (faults.shortVendorAnswers && reply.size() > 2 && reply[0] == protocol::kVendorStation)
        reply.resize(2);
    const std::uint16_t reg = request.size() >= 4 ? (request[2] << 8) | request[3] : 0;
    if (!faults.strayPrefix.empty() &&
        (!faults.strayRegister || (stationOne && reg == *faults.strayRegister))) {
        reply.insert(reply.begin(), faults.strayPrefix.begin(), faults.strayPrefix.end());
    }
    const bool slow = stationOne && faults.slowRegister && reg == *faults.slowRegister;
    return slow ? faults.slowDelay : std::chrono::milliseconds(0);
}

void FlipBitKeepingCrc(std::vector<std::uint8_t>& reply) {
    if (reply.size() >= 3) reply[reply.size() - 3] ^= 0x10;
}

void CorruptCrc(std::vector<std::uint8_t>& reply) {
    if (reply.size() < 2) {
        return;
    }
    reply[reply.size() - 2] ^= 0xFF;
    reply[reply.size() - 1] ^= 0xFF;
}

}  // namespace corvexa::sim
