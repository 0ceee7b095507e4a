#include "serial/serial.h"

#include <exception>

#include "serial/impl/serial_impl.h"

namespace serial {

namespace {

// Holds one of the port's two locks for a call, released also while an
// exception passes.
class ScopedLock {
public:
    using Op = void (Serial::SerialImpl::*)();
    ScopedLock(Serial::SerialImpl& impl, Op lock, Op unlock) : m_impl(impl), m_unlock(unlock) {
        (m_impl.*lock)();
    }
    ~ScopedLock() noexcept(false) {
        // A failing release while another exception unwinds must not
        // terminate the program; the first error is the one to report.
        if (std::uncaught_exceptions() > m_pending) {
            try {
                (m_impl.*m_unlock)();
            } catch (...) {
            }
            return;
        }
        (m_impl.*m_unlock)();
    }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    Serial::SerialImpl& m_impl;
    Op m_unlock;
    int m_pending = std::uncaught_exceptions();
};

}  // namespace

Serial::Serial(const std::string& port, uint32_t baudrate, Timeout timeout, ByteSize bytesize,
               Parity parity, StopBits stopbits, FlowControl flowcontrol)
    : m_pimpl(
          std::make_unique<SerialImpl>(port, baudrate, bytesize, parity, stopbits, flowcontrol)) {
    // The first pass inside the open had no time-outs yet; apply again so
    // they reach the device. Should this raise, m_pimpl releases the device.
    m_pimpl->setTimeout(timeout);
    if (m_pimpl->isOpen()) {
        m_pimpl->reconfigurePort();
    }
}

Serial::~Serial() = default;

bool Serial::isOpen() const {
    return m_pimpl->isOpen();
}

bool Serial::lineLost() const {
    return m_pimpl->lineLost();
}

std::chrono::steady_clock::time_point Serial::lastByteTime() const {
    return std::chrono::steady_clock::time_point(
        std::chrono::steady_clock::duration(m_pimpl->lastByteTicks()));
}

void Serial::close() {
    m_pimpl->close();
}

size_t Serial::read(uint8_t* buffer, size_t size) {
    ScopedLock lock(*m_pimpl, &SerialImpl::readLock, &SerialImpl::readUnlock);
    return m_pimpl->read(buffer, size);
}

size_t Serial::write(const uint8_t* data, size_t size) {
    ScopedLock lock(*m_pimpl, &SerialImpl::writeLock, &SerialImpl::writeUnlock);
    return m_pimpl->write(data, size);
}

}  // namespace serial
