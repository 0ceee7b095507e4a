// The transactions over the Windows serial code, against the transmitter on
// the COM port named in CORVEXA_TEST_PORT. scripts/wine-tests starts that
// transmitter (corvexa-sim) with the register values kDevice lists.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "protocol/link_port.h"
#include "protocol/messages.h"
#include "protocol/transmitter_link.h"

namespace protocol {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Posted {
    std::uint32_t msg;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    bool operator==(const Posted&) const = default;
};

class QueueSink : public IMessageSink {
public:
    // Progress of a read-all is left out: the tests wait for the messages
    // that end each task.
    void PostToWindow(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override {
        if (msg == UM_READ_PROGRESS) return;
        std::lock_guard lock(m_mutex);
        m_messages.push_back({msg, wParam, lParam});
        m_changed.notify_all();
    }
    std::vector<Posted> Messages() {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }
    bool WaitForCount(std::size_t n, std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_messages.size() >= n; });
    }
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_messages.clear();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Posted> m_messages;
};

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The program's connection: 9600 8N1, 50 ms total read and write time-outs.
class ComPortLink : public ::testing::Test {
protected:
    void SetUp() override {
        const char* port = std::getenv("CORVEXA_TEST_PORT");
        ASSERT_NE(port, nullptr) << "CORVEXA_TEST_PORT names no port (scripts/wine-tests sets it)";
        m_engine.SetParams(port, 9600, protocol::LinkPortTimeout(), serial::eightbits,
                           serial::parity_none, serial::stopbits_one, serial::flowcontrol_none);
        ASSERT_TRUE(m_engine.Open());
        ASSERT_TRUE(m_engine.Start());
        m_link = std::make_unique<CTransmitterLink>(m_engine, m_sink);
        m_link->SetFactoryMode(true);
    }
    void TearDown() override {
        m_engine.Stop(0xFFFFFFFFu);
        m_link.reset();
    }
    // Runs one task and waits for its last message; returns the time taken.
    double Run(bool started, std::size_t messages) {
        EXPECT_TRUE(started);
        const auto start = Clock::now();
        EXPECT_TRUE(m_sink.WaitForCount(messages, 20s));
        return MsSince(start);
    }

    TransmitterEngine m_engine{"",
                               9600,
                               serial::Timeout(),
                               serial::eightbits,
                               serial::parity_none,
                               serial::stopbits_one,
                               serial::flowcontrol_none};
    QueueSink m_sink;
    std::unique_ptr<CTransmitterLink> m_link;
};

TEST_F(ComPortLink, HandshakeReadAllWriteAndReadBack) {
    // Handshake and the factory version's read-all of registers 10 to 23.
    const double connectMs = Run(m_link->StartVendorTask(OperationCode::ConnectRequest), 2);
    std::printf("handshake + read-all of 14 registers: %.1f ms\n", connectMs);
    EXPECT_EQ((std::vector<Posted>{{UM_VALUES_CHANGED, 0, 0}, {UM_DEVICE_ONLINE, 0, 1}}),
              m_sink.Messages());
    DeviceParameters p = m_link->Parameters();
    EXPECT_EQ(4, p.signalSource);
    EXPECT_EQ(2, p.unit);
    EXPECT_EQ(1, p.decimals);
    EXPECT_EQ(L"30.0", p.zeroOffset);
    EXPECT_EQ(L"-10", p.lowerLimit);
    EXPECT_EQ(L"500", p.upperLimit);
    EXPECT_EQ(5, p.gain);
    EXPECT_EQ(L"3000", p.fullOutput);

    // Zero offset 12.5 with one decimal: 01 06 00 0F 00 7D, echoed back.
    m_sink.Clear();
    const double writeMs = Run(m_link->StartWriteTask(OperationCode::WriteZeroOffset, 125), 1);
    std::printf("write of one register: %.1f ms\n", writeMs);
    EXPECT_EQ((std::vector<Posted>{{UM_WRITE_RESULT, 18, 1}}), m_sink.Messages());

    m_sink.Clear();
    const double readAllMs = Run(m_link->StartReadAllTask(), 2);
    std::printf("read-all of 14 registers: %.1f ms\n", readAllMs);
    EXPECT_EQ(L"12.5", m_link->Parameters().zeroOffset);

    // Leave the transmitter as the next run expects it.
    m_sink.Clear();
    Run(m_link->StartWriteTask(OperationCode::WriteZeroOffset, 300), 1);
    EXPECT_EQ((std::vector<Posted>{{UM_WRITE_RESULT, 18, 1}}), m_sink.Messages());
}

}  // namespace
}  // namespace protocol
