#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace protocol {

enum class TrafficDirection { Sent, Received, Event };

// One line of the traffic record: a frame sent, a reply or run of bytes
// received, or an event (time-out, retry, refusal, lost port).
struct TrafficEntry {
    std::uint64_t sequence = 0;  // 1, 2, ... for the life of the record
    double sinceConnection = 0;  // monotonic ms since the connection began
    std::chrono::system_clock::time_point wallClock{};
    TrafficDirection direction = TrafficDirection::Event;
    std::vector<std::uint8_t> bytes;
    std::string meaning;  // UTF-8
    bool error = false;   // worth a second look: no reply, discarded, refused...
};

// Kept for the whole connection, not just for what the ring still holds.
struct TrafficCounters {
    std::uint64_t requests = 0;
    std::uint64_t replies = 0;
    std::uint64_t timeOuts = 0;
    std::uint64_t retries = 0;
    std::uint64_t lateReplies = 0;  // replies that completed nothing, discarded
    std::uint64_t unexpectedBytes = 0;
    std::uint64_t crcErrors = 0;  // station-1 replies whose CRC failed, discarded
    // Request to recognised reply, ms; all 0 until the first reply.
    double latencyMin = 0;
    double latencyMedian = 0;
    double latencyMax = 0;
};

}  // namespace protocol
