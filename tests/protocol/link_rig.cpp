#include "link_rig.h"

#include "protocol/link_port.h"

namespace protocol::testing {

void QueueSink::PostToWindow(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    {
        std::lock_guard lock(m_mutex);
        m_messages.push_back({msg, wParam, lParam});
    }
    m_changed.notify_all();
}

std::vector<Posted> QueueSink::Messages() const {
    std::lock_guard lock(m_mutex);
    return m_messages;
}

std::size_t QueueSink::Count(std::uint32_t msg) const {
    std::lock_guard lock(m_mutex);
    std::size_t n = 0;
    for (const auto& m : m_messages) n += m.msg == msg ? 1 : 0;
    return n;
}

bool QueueSink::WaitFor(std::uint32_t msg, std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] {
        std::size_t seen = 0;
        for (const auto& m : m_messages) seen += m.msg == msg ? 1 : 0;
        return seen >= n;
    });
}

void QueueSink::Clear() {
    std::lock_guard lock(m_mutex);
    m_messages.clear();
}

namespace {

// Paced at 9600 baud; sample registers hold still so values can be compared.
corvexa::sim::SimulatedTransmitter::Options SteadyDevice() {
    corvexa::sim::SimulatedTransmitter::Options options;
    options.pacing = true;
    options.wander = false;
    return options;
}

}  // namespace

LinkRig::LinkRig(bool factory, CTransmitterLink::Timing timing, bool startReader)
    : m_sim(std::make_unique<corvexa::sim::SimulatedTransmitter>(SteadyDevice())),
      m_engine("", 9600, serial::Timeout(), serial::eightbits, serial::parity_none,
               serial::stopbits_one, serial::flowcontrol_none) {
    // The program's line: 9600 8N1 with the link's time-outs.
    m_engine.SetParams(m_sim->SlavePath(), 9600, LinkPortTimeout(), serial::eightbits,
                       serial::parity_none, serial::stopbits_one, serial::flowcontrol_none);
    m_engine.Open();
    if (startReader) m_engine.Start();
    m_link = std::make_unique<CTransmitterLink>(m_engine, m_sink, timing);
    m_link->SetFactoryMode(factory);
}

LinkRig::~LinkRig() {
    DestroyLink();
}

void LinkRig::DestroyLink() {
    m_engine.Stop();
    m_link.reset();
}

void LinkRig::Receive(const std::vector<std::uint8_t>& chunk) {
    CTransmitterLinkTestPeer::Line(*m_link).OnReceive(nullptr, chunk.data(),
                                                      static_cast<int32_t>(chunk.size()));
}

std::vector<protocol::Frame> LinkRig::Frames() const {
    std::vector<protocol::Frame> frames;
    for (const auto& f : m_sim->Frames()) frames.push_back(f.bytes);
    return frames;
}

bool LinkRig::Connect(std::chrono::milliseconds timeout) {
    const std::size_t before = m_sink.Count(UM_DEVICE_ONLINE);
    m_link->StartVendorTask(OperationCode::ConnectRequest);
    return m_sink.WaitFor(UM_DEVICE_ONLINE, before + 1, timeout);
}

}  // namespace protocol::testing
