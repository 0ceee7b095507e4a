#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "protocol/messages.h"
#include "protocol/transmitter_link.h"
#include "sim/simulated_transmitter.h"
#include "tests/protocol/reply_bytes.h"

namespace protocol {
// Feeds the link's line as the engine's receive thread would.
class CTransmitterLinkTestPeer {
public:
    static IComHanlder& Line(CTransmitterLink& link) { return link.m_exchange; }
};
}  // namespace protocol

namespace protocol::testing {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Posted {
    std::uint32_t msg;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    bool operator==(const Posted&) const = default;
};

// Stands in for the window: keeps every posted message in order.
class QueueSink : public IMessageSink {
public:
    void PostToWindow(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;
    std::vector<Posted> Messages() const;
    std::size_t Count(std::uint32_t msg) const;
    // True once `n` messages `msg` have come.
    bool WaitFor(std::uint32_t msg, std::size_t n, std::chrono::milliseconds timeout) const;
    void Clear();

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<Posted> m_messages;
};

// Simulated transmitter, engine on its pty and the link, as the window
// holds them. `startReader` false leaves the engine's receive thread off, so
// a test feeds OnReceive itself while requests still reach the simulator.
class LinkRig {
public:
    explicit LinkRig(bool factory, CTransmitterLink::Timing timing = {}, bool startReader = true);
    ~LinkRig();

    corvexa::sim::SimulatedTransmitter& Sim() { return *m_sim; }
    TransmitterEngine& Engine() { return m_engine; }
    QueueSink& Sink() { return m_sink; }
    CTransmitterLink& Link() { return *m_link; }

    // Window shut-down order: stop the engine, then the link goes.
    void DestroyLink();
    // Feeds bytes as if the engine had read them in one chunk.
    void Receive(const std::vector<std::uint8_t>& chunk);

    std::vector<protocol::Frame> Frames() const;
    // Handshake, then wait for UM_DEVICE_ONLINE.
    bool Connect(std::chrono::milliseconds timeout = 10s);

private:
    std::unique_ptr<corvexa::sim::SimulatedTransmitter> m_sim;
    TransmitterEngine m_engine;
    QueueSink m_sink;
    std::unique_ptr<CTransmitterLink> m_link;
};

}  // namespace protocol::testing
