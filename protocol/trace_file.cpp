#include "protocol/trace_file.h"

namespace protocol {

std::string HexText(const std::vector<std::uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (std::uint8_t byte : bytes) {
        if (!text.empty()) text += ' ';
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

std::string TraceLine(const TrafficEntry& entry) {
    using namespace std::chrono;
    const auto sinceEpoch = entry.wallClock.time_since_epoch();
    const auto millis = floor<milliseconds>(sinceEpoch);
    const auto day = floor<days>(millis);
    const year_month_day date{sys_days(day)};
    const hh_mm_ss time{millis - day};
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ +%.3f",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()),
                  static_cast<int>(time.subseconds().count()), entry.sinceConnection);

    const char* direction = entry.direction == TrafficDirection::Sent       ? "TX"
                            : entry.direction == TrafficDirection::Received ? "RX"
                                                                            : "--";
    std::string line = stamp;
    line += ' ';
    line += direction;
    if (!entry.bytes.empty()) {
        line += ' ';
        line += HexText(entry.bytes);
    }
    line += " | ";
    line += entry.meaning;
    return line;
}

CTraceFile::CTraceFile(const std::string& path) : m_path(path) {
    std::string reason;
    m_output = CTraceOutput::Open(path, reason);
    if (!m_output) {
        m_error = "cannot write the trace file " + path + ": " + reason;
        return;
    }
    m_thread = std::thread([this] { Run(); });
}

CTraceFile::~CTraceFile() {
    if (!m_thread.joinable()) return;
    Drain(std::chrono::seconds(2));
    m_stopping.store(true);
    m_changed.notify_all();
    m_thread.join();
}

std::string CTraceFile::WriteError() const {
    std::lock_guard lock(m_mutex);
    return m_writeError;
}

std::uint64_t CTraceFile::Dropped() const {
    std::lock_guard lock(m_mutex);
    return m_droppedTotal;
}

void CTraceFile::Write(const TrafficEntry& entry) {
    if (!m_output) return;
    std::string line = TraceLine(entry) + "\n";
    {
        std::lock_guard lock(m_mutex);
        if (!m_writeError.empty()) return;
        // Room for this line and, after drops, the line that counts them.
        if (m_lines.size() + (m_dropped > 0 ? 2 : 1) > kQueueLines) {
            ++m_dropped;
            ++m_droppedTotal;
            return;
        }
        if (m_dropped > 0) {
            TrafficEntry note;
            note.wallClock = entry.wallClock;
            note.sinceConnection = entry.sinceConnection;
            note.meaning = std::to_string(m_dropped) +
                           " trace entries dropped: the trace file was not taking them";
            m_lines.push_back(TraceLine(note) + "\n");
            m_dropped = 0;
        }
        m_lines.push_back(std::move(line));
    }
    m_changed.notify_all();
}

bool CTraceFile::Drain(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] {
        return (m_lines.empty() && !m_writing) || !m_writeError.empty() || !m_thread.joinable();
    });
}

void CTraceFile::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_lines.empty() || m_stopping.load(); });
        if (m_lines.empty() || m_stopping.load()) return;
        std::string text;
        // Whatever is queued goes out in one write.
        while (!m_lines.empty() && text.size() < 65536) {
            text += m_lines.front();
            m_lines.pop_front();
        }
        m_writing = true;
        lock.unlock();
        std::string reason;
        const bool written = m_output->Write(text, m_stopping, reason);
        lock.lock();
        m_writing = false;
        if (!written) {
            m_writeError =
                "cannot write the trace file " + m_path + ": " + reason + "; the trace stops here";
            m_lines.clear();
        }
        m_changed.notify_all();
        if (!written) return;
    }
}

}  // namespace protocol
