#pragma once

#include <chrono>
#include <mutex>
#include <string>

#include "protocol/trace_file.h"
#include "protocol/traffic_entry.h"

namespace cli {

// The --trace file that the traffic records of all ports append to, one
// line per entry. With several ports each meaning starts with its port.
class TraceLog {
public:
    // Empty error() on success.
    explicit TraceLog(const std::string& path);

    const std::string& error() const { return m_file.Error(); }
    // Why writing stopped, once it did; the exchanges go on regardless.
    std::string WriteError() const { return m_file.WriteError(); }
    // Waits for what is queued to reach the file (at the end of a command).
    void Drain() { m_file.Drain(std::chrono::seconds(2)); }
    void SetNamePorts(bool name) { m_namePorts = name; }
    void Write(const std::string& port, const protocol::TrafficEntry& entry);

private:
    protocol::CTraceFile m_file;
    bool m_namePorts = false;
    std::mutex m_mutex;
};

}  // namespace cli
