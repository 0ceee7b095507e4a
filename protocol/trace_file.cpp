#include "protocol/trace_file.h"

#include <cerrno>
#include <cstring>

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

CTraceFile::CTraceFile(const std::string& path) {
    m_file = std::fopen(path.c_str(), "a");
    if (m_file == nullptr) {
        m_error = "cannot write the trace file " + path + ": " + std::strerror(errno);
    }
}

CTraceFile::~CTraceFile() {
    if (m_file != nullptr) std::fclose(m_file);
}

void CTraceFile::Write(const TrafficEntry& entry) {
    if (m_file == nullptr) return;
    const std::string line = TraceLine(entry) + "\n";
    std::fwrite(line.data(), 1, line.size(), m_file);
    std::fflush(m_file);
}

}  // namespace protocol
