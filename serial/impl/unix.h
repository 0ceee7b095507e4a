#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

#include "base/unique_fd.h"
#include "serial/serial.h"

namespace serial {

// Closes through the system-call table, so tests see and can fail the close.
struct CloseThroughCalls {
    int operator()(int fd) const;
};
using UniqueFd = corvexa::base::BasicUniqueFd<CloseThroughCalls>;

class Serial::SerialImpl {
public:
    SerialImpl(const std::string& port, uint32_t baudrate, ByteSize bytesize, Parity parity,
               StopBits stopbits, FlowControl flowcontrol);
    virtual ~SerialImpl();

    SerialImpl(const SerialImpl&) = delete;
    SerialImpl& operator=(const SerialImpl&) = delete;

    void open();
    void close();
    bool isOpen() const { return m_isOpen.load(); }
    bool lineLost() const { return m_lineLost.load(); }
    std::chrono::steady_clock::rep lastByteTicks() const { return m_lastByteTicks.load(); }
    void setTimeout(const Timeout& timeout) { m_timeout = timeout; }
    void reconfigurePort();

    size_t read(uint8_t* buffer, size_t size);
    size_t write(const uint8_t* data, size_t size);

    void readLock() { m_readMutex.lock(); }
    void readUnlock() { m_readMutex.unlock(); }
    void writeLock() { m_writeMutex.lock(); }
    void writeUnlock() { m_writeMutex.unlock(); }

private:
    // Waits on the wake descriptor only, until the deadline or a close;
    // returns at once when there is no deadline.
    void idleUntil(int64_t deadlineMs);

    std::string m_port;
    UniqueFd m_fd;
    std::atomic<bool> m_isOpen{false};
    // Set by a read that found the line hung up or failing at the platform.
    std::atomic<bool> m_lineLost{false};
    // steady_clock ticks of the last byte read.
    std::atomic<std::chrono::steady_clock::rep> m_lastByteTicks{0};
    Timeout m_timeout;
    uint32_t m_baudrate;
    Parity m_parity;
    ByteSize m_bytesize;
    StopBits m_stopbits;
    FlowControl m_flowcontrol;
    std::mutex m_readMutex;
    std::mutex m_writeMutex;
    // Signalled by close() so that a read or write waiting in poll() on
    // another thread returns at once instead of touching a closed (and
    // possibly reused) descriptor number.
    UniqueFd m_wakeFd;
};

// "COM3"-style bare names live in /dev; absolute paths are used as given.
std::string MakeDevicePath(const std::string& port);

}  // namespace serial
