#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "serial/serial.h"

namespace serial {

// Owns one kernel handle. Mutexes use null as "none", files the all-ones
// value; both count as empty.
class WinHandle {
public:
    WinHandle() = default;
    explicit WinHandle(HANDLE handle) : handle_(handle) {}
    ~WinHandle() { reset(); }
    WinHandle(const WinHandle&) = delete;
    WinHandle& operator=(const WinHandle&) = delete;

    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    // Closes the handle held; false when CloseHandle failed (the handle is
    // then kept, as the caller may retry).
    bool reset() {
        if (valid() && !::CloseHandle(handle_)) {
            return false;
        }
        handle_ = INVALID_HANDLE_VALUE;
        return true;
    }
    void adopt(HANDLE handle) {
        reset();
        handle_ = handle;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
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

    void readLock();
    void readUnlock();
    void writeLock();
    void writeUnlock();

private:
    std::wstring port_;
    WinHandle fd_;
    std::atomic<bool> isOpen_{false};
    // Set by a read that found the line hung up or failing at the platform.
    std::atomic<bool> lineLost_{false};
    Timeout timeout_;
    uint32_t baudrate_;
    Parity parity_;
    ByteSize bytesize_;
    StopBits stopbits_;
    FlowControl flowcontrol_;
    WinHandle readMutex_;
    WinHandle writeMutex_;
    // The thread inside ReadFile, 0 when none: close() cancels its wait.
    std::atomic<DWORD> readerThread_{0};
};

// "COM3" becomes \\.\COM3; a name that already has the prefix is kept.
std::wstring MakeDevicePath(const std::wstring& port);

}  // namespace serial
