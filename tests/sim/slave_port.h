#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace corvexa::sim::testing {

using Bytes = std::vector<std::uint8_t>;

// "01 03 00 0A" -> bytes.
Bytes Hex(const std::string& text);
std::string ToHex(const Bytes& bytes);

// The program's end of the line, opened the plain way: open() and raw
// termios, nothing from the serial module.
class SlavePort {
public:
    struct TimedByte {
        std::uint8_t byte;
        std::chrono::steady_clock::time_point at;
    };

    explicit SlavePort(const std::string& path);
    ~SlavePort();
    SlavePort(const SlavePort&) = delete;
    SlavePort& operator=(const SlavePort&) = delete;

    // What the serial layer does on open: flock, then TIOCEXCL.
    void LockExclusive();
    bool ExclusiveFlag() const;

    void Write(const Bytes& bytes);
    // Waits for input without taking it.
    bool WaitReadable(std::chrono::milliseconds timeout);
    // Stops at n bytes or at the time-out, whichever comes first.
    Bytes Read(std::size_t n, std::chrono::milliseconds timeout);
    std::vector<TimedByte> ReadTimed(std::size_t n, std::chrono::milliseconds timeout);
    // Writes a request and reads n bytes of answer.
    Bytes Exchange(const Bytes& request, std::size_t n,
                   std::chrono::milliseconds timeout = std::chrono::seconds(2));

private:
    int m_fd = -1;
};

}  // namespace corvexa::sim::testing
