#include "cli/trace_log.h"

#include <cerrno>
#include <cstring>

namespace cli {

TraceLog::TraceLog(const std::string& path) {
    m_file = std::fopen(path.c_str(), "w");
    if (m_file == nullptr) {
        m_error = "cannot write the trace file " + path + ": " + std::strerror(errno);
    }
}

TraceLog::~TraceLog() {
    if (m_file != nullptr) std::fclose(m_file);
}

void TraceLog::Line(const std::string& port, const std::string& text) {
    if (m_file == nullptr) return;
    const std::chrono::duration<double, std::milli> at = std::chrono::steady_clock::now() - m_start;
    std::lock_guard lock(m_mutex);
    std::fprintf(m_file, "%10.3f %s %s\n", at.count(), port.c_str(), text.c_str());
}

std::string TraceLog::Hex(const std::uint8_t* data, std::size_t length) {
    std::string text;
    char byte[4];
    for (std::size_t i = 0; i < length; ++i) {
        std::snprintf(byte, sizeof byte, i == 0 ? "%02X" : " %02X", data[i]);
        text += byte;
    }
    return text;
}

}  // namespace cli
