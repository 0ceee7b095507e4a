#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "protocol/trace_output.h"
#include "protocol/traffic_entry.h"

namespace protocol {

// "01 03 00 0F" — two upper-case hex digits a byte, single spaces.
std::string HexText(const std::vector<std::uint8_t>& bytes);

// One line of the trace, without the line end:
// "2026-12-08T12:52:18.123Z +1234.567 TX 01 03 00 0F 00 01 B4 09 | read register 15 (Null Offset)"
// UTC wall-clock, ms since the connection began, TX / RX / -- for events,
// the bytes (none for an event), " | " and the meaning.
std::string TraceLine(const TrafficEntry& entry);

// The --trace FILE: one line per entry, appended. Write never waits: the
// lines go to a writer thread through a bounded queue, so a full disk, a
// stalled pipe or a slow terminal never holds up an exchange. When the
// queue is full lines are dropped and counted, and one line says how many
// once the reader catches up. The first write error stops the trace; it
// is kept for WriteError and the program's exchanges go on.
class CTraceFile {
public:
    static constexpr std::size_t kQueueLines = 4096;

    // Empty Error() on success.
    explicit CTraceFile(const std::string& path);
    // Waits up to 2 s for the queue to drain, then gives up on the rest.
    ~CTraceFile();
    CTraceFile(const CTraceFile&) = delete;
    CTraceFile& operator=(const CTraceFile&) = delete;

    // Why the file could not be opened.
    const std::string& Error() const { return m_error; }
    // Why writing stopped (empty while it works); any thread.
    std::string WriteError() const;
    // Lines dropped so far because the reader fell behind.
    std::uint64_t Dropped() const;
    // Any thread; never blocks on the file.
    void Write(const TrafficEntry& entry);
    // Waits until every line queued so far is written (or writing failed);
    // false after `timeout`.
    bool Drain(std::chrono::milliseconds timeout);

private:
    void Run();

    const std::string m_path;
    std::string m_error;
    std::unique_ptr<CTraceOutput> m_output;
    std::atomic<bool> m_stopping{false};

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::string> m_lines;
    std::uint64_t m_dropped = 0;  // since the last drop line
    std::uint64_t m_droppedTotal = 0;
    bool m_writing = false;  // a line is out of the queue, not yet written
    std::string m_writeError;
    std::thread m_thread;  // last: starts once everything above exists
};

}  // namespace protocol
