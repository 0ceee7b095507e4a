#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "protocol/traffic_entry.h"

namespace protocol {

// "01 03 00 0F" — two upper-case hex digits a byte, single spaces.
std::string HexText(const std::vector<std::uint8_t>& bytes);

// One line of the trace, without the line end:
// "2026-12-08T12:52:18.123Z +1234.567 TX 01 03 00 0F 00 01 B4 09 | read register 15 (Null Offset)"
// UTC wall-clock, ms since the connection began, TX / RX / -- for events,
// the bytes (none for an event), " | " and the meaning.
std::string TraceLine(const TrafficEntry& entry);

// The --trace FILE: appends one line per entry and flushes it, so that the
// file holds everything up to a crash.
class CTraceFile {
public:
    // Empty Error() on success.
    explicit CTraceFile(const std::string& path);
    ~CTraceFile();
    CTraceFile(const CTraceFile&) = delete;
    CTraceFile& operator=(const CTraceFile&) = delete;

    const std::string& Error() const { return m_error; }
    // Not synchronised; the record calls it under its lock.
    void Write(const TrafficEntry& entry);

private:
    std::FILE* m_file = nullptr;
    std::string m_error;
};

}  // namespace protocol
