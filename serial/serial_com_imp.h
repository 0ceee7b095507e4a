#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "serial/serial.h"

// Notifications of the communication engine. Every operation has a
// default, so a handler overrides only what it needs. The destructor is
// protected and not virtual: handlers are never deleted through this
// interface, and the first six operations keep their slots 0 to 5.
class IComHanlder {
public:
    // After every Open: result 0 with the new port, -1 with null on failure.
    virtual void OnOpen(serial::Serial* /*port*/, int32_t /*result*/) {}
    // After Close closed an open port; result is always 0.
    virtual void OnClose(serial::Serial* /*port*/, int32_t /*result*/) {}
    // Receive thread: one call per read that returned bytes (1 to buffer
    // size). data is the thread's own buffer, valid only during the call.
    virtual void OnReceive(serial::Serial* /*port*/, const uint8_t* /*data*/, int32_t /*length*/) {}
    // Receive thread: once before its first read.
    virtual void OnThreadStart(serial::Serial* /*port*/) {}
    // Receive thread: once after its loop ended.
    virtual void OnThreadExit(serial::Serial* /*port*/) {}
    // Receive thread: a read raised or found the line gone (-1), or found
    // the port closed (-2).
    virtual void OnError(serial::Serial* /*port*/, int32_t /*code*/) {}
    // Receive thread: what the engine calls for every read that returned
    // bytes, with the time its last byte came in; by default OnReceive.
    virtual void OnReceiveAt(serial::Serial* port, const uint8_t* data, int32_t length,
                             std::chrono::steady_clock::time_point /*lastByte*/) {
        OnReceive(port, data, length);
    }

protected:
    ~IComHanlder() = default;
};

// Owns the port of the current connection, reads it on a receive thread of
// its own and passes every chunk read, unframed, to the handler.
//
// Threads: SetParams, Open, Start, Close, Stop and destruction belong to one
// controlling thread (the window's). Write, Read, IsOpen and GetSerial may
// be called from any thread at any time: the port object is shared, so one
// that is replaced by the next Open stays alive until the last caller using
// it has returned.
template <class THandler, std::size_t BufferSize>
class SerialComImp {
public:
    static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

    SerialComImp(const std::string& port, uint32_t baudrate, serial::Timeout timeout,
                 serial::ByteSize bytesize, serial::Parity parity, serial::StopBits stopbits,
                 serial::FlowControl flowcontrol)
        : m_settings{port, baudrate, timeout, bytesize, parity, stopbits, flowcontrol} {}

    virtual ~SerialComImp() {
        // A receive thread may not outlive the engine that started it
        // unnoticed; the owner normally called Stop already.
        Stop(kInfinite);
    }

    SerialComImp(const SerialComImp&) = delete;
    SerialComImp& operator=(const SerialComImp&) = delete;

    // Settings for the next Open; refused (false) while a port is open.
    bool SetParams(const std::string& port, uint32_t baudrate, serial::Timeout timeout,
                   serial::ByteSize bytesize, serial::Parity parity, serial::StopBits stopbits,
                   serial::FlowControl flowcontrol) {
        if (IsOpen()) {
            return false;
        }
        std::lock_guard lock(m_mutex);
        m_settings = Settings{port, baudrate, timeout, bytesize, parity, stopbits, flowcontrol};
        return true;
    }

    // Why the last Open failed: the port's message and the system's error
    // number (errno, GetLastError; 0 when there was none). Both empty after
    // an Open that succeeded.
    struct OpenFailure {
        std::string message;
        int32_t errorNumber = 0;
    };
    OpenFailure LastOpenFailure() const {
        std::lock_guard lock(m_mutex);
        return m_lastOpenFailure;
    }

    // The receive thread sees either the old or the new handler, never a mix.
    void SetHandler(THandler* handler) { m_handler->exchange(handler); }

    bool Open() {
        std::shared_ptr<serial::Serial> old;
        Settings settings;
        {
            std::lock_guard lock(m_mutex);
            old = std::move(m_port);
            settings = m_settings;
        }
        if (old) {
            // Replaced without OnClose; the old receive thread sees it closed.
            closeQuietly(*old);
            old.reset();
        }
        std::shared_ptr<serial::Serial> port;
        OpenFailure failure;
        try {
            port = std::make_shared<serial::Serial>(
                settings.port, settings.baudrate, settings.timeout, settings.bytesize,
                settings.parity, settings.stopbits, settings.flowcontrol);
        } catch (const serial::IOException& e) {
            failure = OpenFailure{e.what(), e.errorNumber()};
        } catch (const std::exception& e) {
            failure = OpenFailure{e.what(), 0};
        }
        {
            std::lock_guard lock(m_mutex);
            m_lastOpenFailure = failure;
        }
        if (!port) {
            if (THandler* handler = m_handler->load()) {
                handler->OnOpen(nullptr, -1);
            }
            return false;
        }
        {
            std::lock_guard lock(m_mutex);
            m_port = port;
        }
        if (THandler* handler = m_handler->load()) {
            handler->OnOpen(port.get(), 0);
        }
        return true;
    }

    bool IsOpen() const {
        std::shared_ptr<serial::Serial> port = currentPort();
        return port && port->isOpen();
    }

    // Starts the receive thread on the open port. False when the port is
    // closed, when a receive thread already serves this port, or when no
    // thread could be created.
    bool Start() {
        std::shared_ptr<serial::Serial> port = currentPort();
        if (!port || !port->isOpen()) {
            return false;
        }
        if (m_receiver) {
            if (m_receiver->port == port && !m_receiver->hasFinished()) {
                return false;
            }
            // The previous connection's thread: its port is closed, so it
            // ends within one read time-out.
            retireReceiver(kInfinite);
        }
        auto receiver = std::make_shared<Receiver>(m_handler, port);
        try {
            m_thread = std::thread(&SerialComImp::Run, receiver);
        } catch (const std::system_error&) {
            return false;
        }
        m_receiver = std::move(receiver);
        return true;
    }

    void Close() {
        std::shared_ptr<serial::Serial> port = currentPort();
        if (!port || !port->isOpen()) {
            return;
        }
        if (!closeQuietly(*port)) {
            return;
        }
        if (THandler* handler = m_handler->load()) {
            handler->OnClose(port.get(), 0);
        }
    }

    // Closes the port and waits for the receive thread for at most
    // timeoutMs (kInfinite: no limit). A thread still running then cannot be
    // killed safely on POSIX: it is detached instead. It keeps its own port
    // and state alive, ends on its own once its handler call returns, and
    // makes no further handler calls.
    void Stop(uint32_t timeoutMs = kInfinite) {
        Close();
        retireReceiver(timeoutMs);
    }

    // Result: bytes written, -1 the port raised, -2 no port open.
    int32_t Write(const uint8_t* data, int32_t count) {
        std::shared_ptr<serial::Serial> port = currentPort();
        if (!port || !port->isOpen()) {
            return -2;
        }
        if (count < 0) {
            return -1;
        }
        try {
            return static_cast<int32_t>(port->write(data, static_cast<size_t>(count)));
        } catch (const std::exception&) {
            return -1;
        }
    }

    // Result: bytes read, -1 the port raised, -2 no port open.
    int32_t Read(uint8_t* buffer, int32_t size) { return readFrom(currentPort(), buffer, size); }

    serial::Serial* GetSerial() const { return currentPort().get(); }

    // When the last byte read on the current port came in (the clock's epoch
    // when none did), even while the read that took it still waits for more
    // and the handler has not had it yet.
    std::chrono::steady_clock::time_point LastByteTime() const {
        std::shared_ptr<serial::Serial> port = currentPort();
        return port ? port->lastByteTime() : std::chrono::steady_clock::time_point{};
    }

private:
    struct Settings {
        std::string port;
        uint32_t baudrate;
        serial::Timeout timeout;
        serial::ByteSize bytesize;
        serial::Parity parity;
        serial::StopBits stopbits;
        serial::FlowControl flowcontrol;
    };

    using HandlerSlot = std::atomic<THandler*>;

    // Everything a receive thread touches; shared with the thread so that a
    // detached thread never reaches into a destroyed engine.
    struct Receiver {
        Receiver(std::shared_ptr<HandlerSlot> slot, std::shared_ptr<serial::Serial> p)
            : handler(std::move(slot)), port(std::move(p)) {}

        THandler* currentHandler() const { return abandoned ? nullptr : handler->load(); }
        bool hasFinished() {
            std::lock_guard lock(mutex);
            return finished;
        }

        std::shared_ptr<HandlerSlot> handler;
        std::shared_ptr<serial::Serial> port;
        std::atomic<bool> abandoned{false};
        std::mutex mutex;
        std::condition_variable ended;
        bool finished = false;
    };

    std::shared_ptr<serial::Serial> currentPort() const {
        std::lock_guard lock(m_mutex);
        return m_port;
    }

    static int32_t readFrom(const std::shared_ptr<serial::Serial>& port, uint8_t* buffer,
                            int32_t size) {
        if (!port || !port->isOpen()) {
            return -2;
        }
        if (size < 0) {
            return -1;
        }
        try {
            return static_cast<int32_t>(port->read(buffer, static_cast<size_t>(size)));
        } catch (const serial::PortNotOpenedException&) {
            return -2;  // closed between the test and the read
        } catch (const std::exception&) {
            return -1;
        }
    }

    static bool closeQuietly(serial::Serial& port) {
        try {
            port.close();
            return true;
        } catch (const std::exception&) {
            return false;
        }
    }

    // The receive loop: no sleep, the port's read time-out sets the pace.
    static void Run(std::shared_ptr<Receiver> receiver) {
        serial::Serial* port = receiver->port.get();
        std::unique_ptr<uint8_t[]> buffer(new uint8_t[BufferSize]());
        if (THandler* handler = receiver->currentHandler()) {
            handler->OnThreadStart(port);
        }
        while (port->isOpen()) {
            const int32_t n =
                readFrom(receiver->port, buffer.get(), static_cast<int32_t>(BufferSize));
            if (n > 0) {
                if (THandler* handler = receiver->currentHandler()) {
                    handler->OnReceiveAt(port, buffer.get(), n, port->lastByteTime());
                }
            } else if (n < 0 || port->lineLost()) {
                // A line that went away (adapter pulled, hang-up) reads as
                // nothing without raising; it is a failed read all the same.
                if (THandler* handler = receiver->currentHandler()) {
                    handler->OnError(port, n < 0 ? n : -1);
                }
            }
        }
        std::memset(buffer.get(), 0, BufferSize);
        if (THandler* handler = receiver->currentHandler()) {
            handler->OnThreadExit(port);
        }
        std::lock_guard lock(receiver->mutex);
        receiver->finished = true;
        receiver->ended.notify_all();
    }

    void retireReceiver(uint32_t timeoutMs) {
        if (!m_receiver) {
            return;
        }
        bool finished;
        {
            std::unique_lock lock(m_receiver->mutex);
            auto done = [this] { return m_receiver->finished; };
            if (timeoutMs == kInfinite) {
                m_receiver->ended.wait(lock, done);
            } else {
                m_receiver->ended.wait_for(lock, std::chrono::milliseconds(timeoutMs), done);
            }
            finished = m_receiver->finished;
        }
        if (finished) {
            m_thread.join();
        } else {
            m_receiver->abandoned = true;
            m_thread.detach();
        }
        m_receiver.reset();
    }

    std::shared_ptr<HandlerSlot> m_handler = std::make_shared<HandlerSlot>(nullptr);
    std::thread m_thread;
    std::shared_ptr<Receiver> m_receiver;
    mutable std::mutex m_mutex;  // guards m_port, m_settings and m_lastOpenFailure
    std::shared_ptr<serial::Serial> m_port;
    Settings m_settings;
    OpenFailure m_lastOpenFailure;
};
