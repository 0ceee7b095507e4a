#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "serial/serial_com_imp.h"

namespace serial_test {

// Records every notification; tests wait on conditions over the record.
class Recorder : public IComHanlder {
public:
    struct Event {
        std::string name;
        serial::Serial* port;
        int32_t value;
    };

    void OnOpen(serial::Serial* port, int32_t result) override { add({"open", port, result}); }
    void OnClose(serial::Serial* port, int32_t result) override { add({"close", port, result}); }
    void OnReceive(serial::Serial* port, const uint8_t* data, int32_t length) override {
        {
            std::lock_guard lock(m_mutex);
            m_bytes.insert(m_bytes.end(), data, data + length);
        }
        add({"receive", port, length});
        if (onReceive) {
            onReceive();
        }
    }
    void OnThreadStart(serial::Serial* port) override { add({"start", port, 0}); }
    void OnThreadExit(serial::Serial* port) override { add({"exit", port, 0}); }
    void OnError(serial::Serial* port, int32_t code) override { add({"error", port, code}); }

    std::vector<Event> events() {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    std::vector<std::string> names() {
        std::vector<std::string> out;
        for (const Event& e : events()) {
            out.push_back(e.name);
        }
        return out;
    }
    int count(const std::string& name) {
        int n = 0;
        for (const Event& e : events()) {
            n += e.name == name;
        }
        return n;
    }
    std::vector<uint8_t> bytes() {
        std::lock_guard lock(m_mutex);
        return m_bytes;
    }
    bool waitFor(const std::function<bool()>& done, int ms = 5000) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(ms), [&] {
            lock.unlock();
            const bool result = done();
            lock.lock();
            return result;
        });
    }

    std::function<void()> onReceive;

private:
    void add(Event e) {
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(e));
        m_changed.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Event> m_events;
    std::vector<uint8_t> m_bytes;
};

}  // namespace serial_test
