#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "serial/serial.h"

namespace serial {

// Owns one descriptor; closes it through the system-call table.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Returns the result of close(), 0 when nothing was held.
    int reset(int fd = -1);

private:
    int fd_ = -1;
};

class Serial::SerialImpl {
public:
    SerialImpl(const std::string& port, uint32_t baudrate, ByteSize bytesize, Parity parity,
               StopBits stopbits, FlowControl flowcontrol);
    virtual ~SerialImpl();

    SerialImpl(const SerialImpl&) = delete;
    SerialImpl& operator=(const SerialImpl&) = delete;

    void open();
    void close();
    bool isOpen() const { return isOpen_.load(); }
    bool lineLost() const { return lineLost_.load(); }
    void setTimeout(const Timeout& timeout) { timeout_ = timeout; }
    void reconfigurePort();

    size_t read(uint8_t* buffer, size_t size);
    size_t write(const uint8_t* data, size_t size);

    void readLock() { readMutex_.lock(); }
    void readUnlock() { readMutex_.unlock(); }
    void writeLock() { writeMutex_.lock(); }
    void writeUnlock() { writeMutex_.unlock(); }

private:
    // Waits on the wake descriptor only, until the deadline or a close;
    // returns at once when there is no deadline.
    void idleUntil(int64_t deadlineMs);

    std::string port_;
    UniqueFd fd_;
    std::atomic<bool> isOpen_{false};
    // Set by a read that found the line hung up or failing at the platform.
    std::atomic<bool> lineLost_{false};
    Timeout timeout_;
    uint32_t baudrate_;
    Parity parity_;
    ByteSize bytesize_;
    StopBits stopbits_;
    FlowControl flowcontrol_;
    std::mutex readMutex_;
    std::mutex writeMutex_;
    // Signalled by close() so that a read or write waiting in poll() on
    // another thread returns at once instead of touching a closed (and
    // possibly reused) descriptor number.
    UniqueFd wakeFd_;
};

// "COM3"-style bare names live in /dev; absolute paths are used as given.
std::string MakeDevicePath(const std::string& port);

}  // namespace serial
