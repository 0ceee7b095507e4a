#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "serial/serial.h"

namespace serial {

// Owns one kernel handle. Mutexes use null as "none", files the all-ones
// value; both count as empty.
class WinHandle {
public:
    WinHandle() = default;
    explicit WinHandle(HANDLE handle) : m_handle(handle) {}
    ~WinHandle() { reset(); }
    WinHandle(const WinHandle&) = delete;
    WinHandle& operator=(const WinHandle&) = delete;

    HANDLE get() const { return m_handle; }
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr; }
    // Closes the handle held; false when CloseHandle failed (the handle is
    // then kept, as the caller may retry).
    bool reset() {
        if (valid() && !::CloseHandle(m_handle)) {
            return false;
        }
        m_handle = INVALID_HANDLE_VALUE;
        return true;
    }
    void adopt(HANDLE handle) {
        reset();
        m_handle = handle;
    }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
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
    bool isOpen() const { return m_isOpen.load(); }
    bool lineLost() const { return m_lineLost.load(); }
    std::chrono::steady_clock::rep lastByteTicks() const { return m_lastByteTicks.load(); }
    void setTimeout(const Timeout& timeout) { m_timeout = timeout; }
    void reconfigurePort();

    size_t read(uint8_t* buffer, size_t size);
    size_t write(const uint8_t* data, size_t size);

    void readLock();
    void readUnlock();
    void writeLock();
    void writeUnlock();

private:
    std::wstring m_port;
    WinHandle m_fd;
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
    WinHandle m_readMutex;
    WinHandle m_writeMutex;
    // The thread inside ReadFile, 0 when none: close() cancels its wait.
    std::atomic<DWORD> m_readerThread{0};
};

// "COM3" becomes \\.\COM3; a name that already has the prefix is kept.
std::wstring MakeDevicePath(const std::wstring& port);

}  // namespace serial
