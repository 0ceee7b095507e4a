#include "serial/impl/win.h"

#include <stdexcept>

namespace serial {

namespace {

// Raise sites are reported with the names and lines the field knows them
// by, so a report from a user maps to the same failure on every build.
constexpr const char* kSourceFile = "..\\..\\src\\impl\\win";
constexpr int32_t kLineNotFound = 83;
constexpr int32_t kLineOpenError = 86;
constexpr int32_t kLineInvalidHandle = 99;
constexpr int32_t kLineGetState = 108;
constexpr int32_t kLineSetState = 262;
constexpr int32_t kLineSetTimeouts = 273;
constexpr int32_t kLineClose = 287;
constexpr int32_t kLineWrite = 358;
constexpr int32_t kLineClaimRead = 620;
constexpr int32_t kLineReleaseRead = 628;
constexpr int32_t kLineClaimWrite = 636;
constexpr int32_t kLineReleaseWrite = 644;

const wchar_t kDevicePrefix[] = L"\\\\.\\";

[[noreturn]] void RaiseIo(int32_t line, const std::string& description) {
    throw IOException(kSourceFile, line, description);
}

// Open failures keep GetLastError, so the caller can say why.
[[noreturn]] void RaiseOpen(int32_t line, const std::string& description, DWORD err) {
    throw IOException(kSourceFile, line, description, static_cast<int32_t>(err));
}

// Each byte widened as a signed char, as the name was always converted.
std::wstring Widen(const std::string& narrow) {
    std::wstring wide;
    wide.reserve(narrow.size());
    for (char c : narrow) {
        wide.push_back(static_cast<wchar_t>(static_cast<signed char>(c)));
    }
    return wide;
}

// Back to bytes by keeping the low byte of each character.
std::string Narrow(const std::wstring& wide) {
    std::string narrow;
    narrow.reserve(wide.size());
    for (wchar_t c : wide) {
        narrow.push_back(static_cast<char>(c & 0xFF));
    }
    return narrow;
}

ULONGLONG ReadBudgetMs(const Timeout& t, size_t size) {
    return ULONGLONG{t.readConstant} + ULONGLONG{t.readMultiplier} * size;
}

}  // namespace

std::wstring MakeDevicePath(const std::wstring& port) {
    const std::wstring prefix(kDevicePrefix);
    if (port.compare(0, prefix.size(), prefix) != 0) {
        return prefix + port;
    }
    return port;
}

Serial::SerialImpl::SerialImpl(const std::string& port, uint32_t baudrate, ByteSize bytesize,
                               Parity parity, StopBits stopbits, FlowControl flowcontrol)
    : m_port(Widen(port)),
      m_baudrate(baudrate),
      m_parity(parity),
      m_bytesize(bytesize),
      m_stopbits(stopbits),
      m_flowcontrol(flowcontrol) {
    if (!m_port.empty()) {
        open();
    }
    m_readMutex.adopt(::CreateMutexA(nullptr, FALSE, nullptr));
    m_writeMutex.adopt(::CreateMutexA(nullptr, FALSE, nullptr));
    if (!m_readMutex.valid() || !m_writeMutex.valid()) {
        throw std::runtime_error("Error creating serial port mutexes.");
    }
}

Serial::SerialImpl::~SerialImpl() {
    try {
        close();
    } catch (...) {
        // Nobody is left to tell; the mutexes are released below regardless.
    }
}

void Serial::SerialImpl::open() {
    if (m_port.empty()) {
        throw std::invalid_argument("Empty port is invalid.");
    }
    if (m_isOpen) {
        throw SerialException("Serial port already open.");
    }
    const std::wstring path = MakeDevicePath(m_port);
    // No sharing: the port belongs to this program while it is open.
    m_fd.adopt(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_fd.valid()) {
        const DWORD err = ::GetLastError();
        if (err == ERROR_FILE_NOT_FOUND) {
            RaiseOpen(kLineNotFound, "Specified port, " + Narrow(m_port) + ", does not exist.",
                      err);
        }
        RaiseOpen(kLineOpenError,
                  "Unknown error opening the serial port: " +
                      std::to_string(static_cast<unsigned long>(err)),
                  err);
    }
    try {
        reconfigurePort();
    } catch (...) {
        // A port that could not be configured is not kept open.
        m_fd.reset();
        throw;
    }
    m_isOpen = true;
}

void Serial::SerialImpl::reconfigurePort() {
    if (!m_fd.valid()) {
        RaiseIo(kLineInvalidHandle, "Invalid file descriptor, is the serial port open?");
    }
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    if (!::GetCommState(m_fd.get(), &dcb)) {
        RaiseIo(kLineGetState, "Error getting the serial port state.");
    }

    // The named CBR_ rates equal the rates they name; others pass as is.
    dcb.BaudRate = m_baudrate;

    // Checked in this order, before anything reaches the device.
    if (m_bytesize < fivebits || m_bytesize > eightbits) {
        throw std::invalid_argument("invalid char len");
    }
    dcb.ByteSize = static_cast<BYTE>(m_bytesize);

    switch (m_stopbits) {
        case stopbits_one:
            dcb.StopBits = ONESTOPBIT;
            break;
        case stopbits_two:
            dcb.StopBits = TWOSTOPBITS;
            break;
        case stopbits_one_point_five:
            dcb.StopBits = ONE5STOPBITS;
            break;
        default:
            throw std::invalid_argument("invalid stop bit");
    }

    // NOPARITY..SPACEPARITY are 0..4, the same numbers as ours.
    if (m_parity < parity_none || m_parity > parity_space) {
        throw std::invalid_argument("invalid parity");
    }
    dcb.Parity = static_cast<BYTE>(m_parity);

    switch (m_flowcontrol) {
        case flowcontrol_none:
            dcb.fOutxCtsFlow = FALSE;
            dcb.fRtsControl = RTS_CONTROL_DISABLE;
            dcb.fOutX = FALSE;
            dcb.fInX = FALSE;
            break;
        case flowcontrol_software:
            dcb.fOutxCtsFlow = FALSE;
            dcb.fRtsControl = RTS_CONTROL_DISABLE;
            dcb.fOutX = TRUE;
            dcb.fInX = TRUE;
            break;
        case flowcontrol_hardware:
            dcb.fOutxCtsFlow = TRUE;
            dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
            dcb.fOutX = FALSE;
            dcb.fInX = FALSE;
            break;
        default:
            // Unknown modes leave the device's flow control as it was.
            break;
    }

    if (!::SetCommState(m_fd.get(), &dcb)) {
        m_fd.reset();
        RaiseIo(kLineSetState, "Error setting serial port settings.");
    }

    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = m_timeout.interByte;
    timeouts.ReadTotalTimeoutConstant = m_timeout.readConstant;
    timeouts.ReadTotalTimeoutMultiplier = m_timeout.readMultiplier;
    timeouts.WriteTotalTimeoutConstant = m_timeout.writeConstant;
    timeouts.WriteTotalTimeoutMultiplier = m_timeout.writeMultiplier;
    if (!::SetCommTimeouts(m_fd.get(), &timeouts)) {
        RaiseIo(kLineSetTimeouts, "Error setting timeouts.");
    }
}

void Serial::SerialImpl::close() {
    // The flag goes first: a read or write that gets its lock after this
    // point refuses to run instead of using a handle that is being closed
    // (whose value the system may already have given to another object).
    if (!m_isOpen.exchange(false)) {
        return;
    }
    if (m_fd.valid()) {
        // A read waiting for its time-out is ended now rather than kept
        // until then; whatever it had read is still returned. Synchronous
        // I/O is cancelled through the thread that waits in it.
        ::CancelIoEx(m_fd.get(), nullptr);
        if (const DWORD reader = m_readerThread.load(); reader != 0) {
            if (HANDLE thread = ::OpenThread(THREAD_TERMINATE, FALSE, reader)) {
                ::CancelSynchronousIo(thread);
                ::CloseHandle(thread);
            }
        }
        // Let a read or write in progress on another thread finish before
        // the handle value is given back.
        readLock();
        writeLock();
        const bool closed = m_fd.reset();
        const DWORD err = ::GetLastError();
        writeUnlock();
        readUnlock();
        if (!closed) {
            // The handle is still ours: the port stays open, and a later
            // close can try again.
            m_isOpen = true;
            RaiseIo(kLineClose, "Error while closing serial port: " +
                                    std::to_string(static_cast<unsigned long>(err)));
        }
    }
}

size_t Serial::SerialImpl::read(uint8_t* buffer, size_t size) {
    if (!m_isOpen) {
        throw PortNotOpenedException("Serial::read");
    }
    const ULONGLONG start = ::GetTickCount64();
    DWORD got = 0;
    m_readerThread = ::GetCurrentThreadId();
    const BOOL ok = ::ReadFile(m_fd.get(), buffer, static_cast<DWORD>(size), &got, nullptr);
    m_readerThread = 0;
    if (got > 0) m_lastByteTicks = std::chrono::steady_clock::now().time_since_epoch().count();
    if (!ok) {
        if (::GetLastError() == ERROR_OPERATION_ABORTED || !m_isOpen) {
            return got;  // ended by close(), which waits for this lock
        }
        m_lineLost = true;
        // A removed adapter fails every read at once; taking the time-out
        // anyway keeps a reading loop from spinning a core.
        const ULONGLONG budget = ReadBudgetMs(m_timeout, size);
        const ULONGLONG spent = ::GetTickCount64() - start;
        if (budget > spent) {
            ::Sleep(static_cast<DWORD>(budget - spent));
        }
    }
    return got;
}

size_t Serial::SerialImpl::write(const uint8_t* data, size_t size) {
    if (!m_isOpen) {
        throw PortNotOpenedException("Serial::write");
    }
    DWORD written = 0;
    if (!::WriteFile(m_fd.get(), data, static_cast<DWORD>(size), &written, nullptr)) {
        RaiseIo(kLineWrite, "Error while writing to the serial port: " +
                                std::to_string(static_cast<unsigned long>(::GetLastError())));
    }
    return written;
}

void Serial::SerialImpl::readLock() {
    if (::WaitForSingleObject(m_readMutex.get(), INFINITE) != WAIT_OBJECT_0) {
        RaiseIo(kLineClaimRead, "Error claiming read mutex.");
    }
}

void Serial::SerialImpl::readUnlock() {
    if (!::ReleaseMutex(m_readMutex.get())) {
        RaiseIo(kLineReleaseRead, "Error releasing read mutex.");
    }
}

void Serial::SerialImpl::writeLock() {
    if (::WaitForSingleObject(m_writeMutex.get(), INFINITE) != WAIT_OBJECT_0) {
        RaiseIo(kLineClaimWrite, "Error claiming write mutex.");
    }
}

void Serial::SerialImpl::writeUnlock() {
    if (!::ReleaseMutex(m_writeMutex.get())) {
        RaiseIo(kLineReleaseWrite, "Error releasing write mutex.");
    }
}

}  // namespace serial
