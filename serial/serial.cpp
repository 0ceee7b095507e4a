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
    ScopedLock(Serial::SerialImpl& impl, Op lock, Op unlock) : impl_(impl), unlock_(unlock) {
        (impl_.*lock)();
    }
    ~ScopedLock() noexcept(false) {
        // A failing release while another exception unwinds must not
        // terminate the program; the first error is the one to report.
        if (std::uncaught_exceptions() > pending_) {
            try {
                (impl_.*unlock_)();
            } catch (...) {
            }
            return;
        }
        (impl_.*unlock_)();
    }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    Serial::SerialImpl& impl_;
    Op unlock_;
    int pending_ = std::uncaught_exceptions();
};

}  // namespace

Serial::Serial(const std::string& port, uint32_t baudrate, Timeout timeout, ByteSize bytesize,
               Parity parity, StopBits stopbits, FlowControl flowcontrol)
    : pimpl_(std::make_unique<SerialImpl>(port, baudrate, bytesize, parity, stopbits,
                                          flowcontrol)) {
    // The first pass inside the open had no time-outs yet; apply again so
    // they reach the device. Should this raise, pimpl_ releases the device.
    pimpl_->setTimeout(timeout);
    if (pimpl_->isOpen()) {
        pimpl_->reconfigurePort();
    }
}

Serial::~Serial() = default;

bool Serial::isOpen() const { return pimpl_->isOpen(); }

bool Serial::lineLost() const { return pimpl_->lineLost(); }

void Serial::close() { pimpl_->close(); }

size_t Serial::read(uint8_t* buffer, size_t size) {
    ScopedLock lock(*pimpl_, &SerialImpl::readLock, &SerialImpl::readUnlock);
    return pimpl_->read(buffer, size);
}

size_t Serial::write(const uint8_t* data, size_t size) {
    ScopedLock lock(*pimpl_, &SerialImpl::writeLock, &SerialImpl::writeUnlock);
    return pimpl_->write(data, size);
}

}  // namespace serial
