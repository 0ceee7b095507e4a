#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace cli {

// The --trace file: every request, chunk, time-out and exchange outcome of
// every port, one line each with the time since the start.
class TraceLog {
public:
    // Empty error() on success.
    explicit TraceLog(const std::string& path);
    ~TraceLog();
    TraceLog(const TraceLog&) = delete;
    TraceLog& operator=(const TraceLog&) = delete;

    const std::string& error() const { return m_error; }
    void Line(const std::string& port, const std::string& text);
    static std::string Hex(const std::uint8_t* data, std::size_t length);

private:
    std::FILE* m_file = nullptr;
    std::string m_error;
    const std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::mutex m_mutex;
};

}  // namespace cli
