#include "cli/trace_log.h"

namespace cli {

TraceLog::TraceLog(const std::string& path) : m_file(path) {}

void TraceLog::Write(const std::string& port, const protocol::TrafficEntry& entry) {
    std::lock_guard lock(m_mutex);
    if (!m_namePorts) {
        m_file.Write(entry);
        return;
    }
    protocol::TrafficEntry named = entry;
    named.meaning = port + ": " + entry.meaning;
    m_file.Write(named);
}

}  // namespace cli
