#include "cli/device_session.h"

#include "cli/trace_log.h"
#include "protocol/link_port.h"
#include "serial/port_access.h"

namespace cli {

namespace {

using namespace std::chrono_literals;
using protocol::OperationCode;
using protocol::VendorCommand;

// Beyond every time-out the link has (3 attempts of 1 s per exchange):
// only a link that stopped working altogether takes this long.
constexpr auto kExchangeLimit = 10s;
constexpr auto kReadAllLimit = 60s;

bool IsRead(const protocol::Frame& request) {
    return request[0] == 0x01 && request[1] == 0x03;
}

int RegisterOf(const protocol::Frame& request) {
    return (request[2] << 8) | request[3];
}

bool IsVendor(const protocol::Frame& request, VendorCommand command) {
    return request == protocol::VendorFrame(command);
}

}  // namespace

DeviceSession::DeviceSession(std::string port, bool factory, TraceLog* trace)
    : m_port(std::move(port)),
      m_factory(factory),
      m_trace(trace),
      m_engine("", 9600, serial::Timeout(), serial::eightbits, serial::parity_none,
               serial::stopbits_one, serial::flowcontrol_none) {}

DeviceSession::~DeviceSession() {
    End();
}

std::optional<std::string> DeviceSession::Open(bool& problemIsPort) {
    problemIsPort = true;
    if (m_trace) {
        m_record.SetLineSink(
            [this](const protocol::TrafficEntry& entry) { m_trace->Write(m_port, entry); });
    }
    m_record.BeginConnection(m_port);
    // The window's line and time-outs.
    m_engine.SetParams(m_port, 9600, protocol::LinkPortTimeout(), serial::eightbits,
                       serial::parity_none, serial::stopbits_one, serial::flowcontrol_none);
    if (!m_engine.Open()) {
        const auto failure = m_engine.LastOpenFailure();
        return serial::DiagnoseOpenFailure(m_port, failure.errorNumber, failure.message).text;
    }
    problemIsPort = false;
    protocol::IMessageSink& sink = *this;
    m_link = std::make_unique<protocol::CTransmitterLink>(m_engine, sink);
    m_link->SetFactoryMode(m_factory);
    m_link->SetObserver(this);
    if (!m_engine.Start()) {
        return "cannot start reading " + m_port + "; try again";
    }
    return std::nullopt;
}

int DeviceSession::RegistersRead() const {
    return m_factory ? protocol::kRegisterCount : protocol::kUserRegisterCount;
}

bool DeviceSession::Connect() {
    std::size_t online;
    std::size_t ended;
    {
        std::lock_guard lock(m_mutex);
        m_words = {};
        m_readFailures = {};
        m_handshakeFailure.reset();
        m_phase = Phase::ReadAll;
        online = m_online;
        ended = m_outcomes.size();
    }
    if (!m_link->StartVendorTask(OperationCode::ConnectRequest)) return false;
    // FF F8 starts LinkStart, FF AA the read-all: the handshake fails where
    // one of the two vendor exchanges does.
    std::unique_lock lock(m_mutex);
    const bool done = m_changed.wait_for(lock, kReadAllLimit, [&] {
        if (m_online > online) return true;
        for (std::size_t i = ended; i < m_outcomes.size(); ++i) {
            const auto& o = m_outcomes[i];
            if (!o.ok && (IsVendor(o.request, VendorCommand::ConnectRequest) ||
                          IsVendor(o.request, VendorCommand::LinkStart))) {
                m_handshakeFailure = o;
                return true;
            }
        }
        return false;
    });
    m_phase = Phase::Idle;
    return done && m_online > online;
}

bool DeviceSession::ReadAgain() {
    std::size_t online;
    {
        std::lock_guard lock(m_mutex);
        m_words = {};
        m_readFailures = {};
        m_phase = Phase::ReadAll;
        online = m_online;
    }
    const bool started = m_link->StartReadAllTask();
    const bool done = started && WaitForReadAll(online);
    std::lock_guard lock(m_mutex);
    m_phase = Phase::Idle;
    return done;
}

bool DeviceSession::WaitForReadAll(std::size_t onlineBefore) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, kReadAllLimit, [&] { return m_online > onlineBefore; });
}

RegisterWords DeviceSession::Words() const {
    std::lock_guard lock(m_mutex);
    return m_words;
}

std::array<std::optional<protocol::ExchangeOutcome>, protocol::kRegisterCount>
DeviceSession::ReadFailures() const {
    std::lock_guard lock(m_mutex);
    return m_readFailures;
}

std::optional<protocol::ExchangeOutcome> DeviceSession::HandshakeFailure() const {
    std::lock_guard lock(m_mutex);
    return m_handshakeFailure;
}

protocol::ExchangeOutcome DeviceSession::Write(OperationCode code, std::uint16_t word) {
    const protocol::Frame request = protocol::WriteRequest(*protocol::WriteRegisterOf(code), word);
    protocol::ExchangeOutcome notSent;
    notSent.request = request;
    notSent.failure = protocol::ExchangeFailure::Cancelled;
    std::size_t ended;
    {
        std::lock_guard lock(m_mutex);
        ended = m_outcomes.size();
    }
    if (!m_link->StartWriteTask(code, word)) return notSent;
    return WaitForOutcome(request, ended, kExchangeLimit).value_or(notSent);
}

void DeviceSession::Sample(
    bool zero, int count,
    const std::function<void(std::chrono::milliseconds, const protocol::ExchangeOutcome&)>& each) {
    const auto start = std::chrono::steady_clock::now();
    int taken = 0;
    {
        std::lock_guard lock(m_mutex);
        m_phase = Phase::Sampling;
        m_sampleRequest = protocol::ReadRequest(protocol::RegisterOfIndex(
            zero ? protocol::kZeroSampleIndex : protocol::kFullSampleIndex));
        m_sampleTaken = [&](const protocol::ExchangeOutcome& outcome) {
            // Called under m_mutex on a link thread; the printing waits.
            if (taken < count) {
                ++taken;
                each(std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now() - start),
                     outcome);
            }
        };
    }
    // As the window's sampling button: the awaited field, then the flag.
    m_link->SetRegisterIndex(zero ? protocol::kZeroSampleIndex : protocol::kFullSampleIndex);
    if (zero) {
        m_link->SetZeroSampling(true);
    } else {
        m_link->SetFullSampling(true);
    }
    {
        std::unique_lock lock(m_mutex);
        // A silent device takes about 3 s a poll.
        m_changed.wait_for(lock, kExchangeLimit * (count + 1), [&] { return taken >= count; });
    }
    m_link->SetZeroSampling(false);
    m_link->SetFullSampling(false);
    std::lock_guard lock(m_mutex);
    m_phase = Phase::Idle;
    m_sampleTaken = nullptr;
    m_sampleRequest.reset();
}

void DeviceSession::End() {
    if (m_ended) return;
    m_ended = true;
    if (m_link) {
        bool answered;
        std::size_t ended;
        {
            std::lock_guard lock(m_mutex);
            answered = m_answered;
            ended = m_outcomes.size();
        }
        // A device that never answered is not kept waiting another 3 s.
        if (answered && m_link->StartVendorTask(OperationCode::LinkEnd)) {
            WaitForOutcome(protocol::VendorFrame(VendorCommand::LinkEnd), ended, kExchangeLimit);
        }
    }
    // The receive thread stops before the link goes, the link before the engine.
    m_engine.Stop();
    m_link.reset();
}

std::optional<protocol::ExchangeOutcome> DeviceSession::WaitForOutcome(
    const protocol::Frame& request, std::size_t endedBefore, std::chrono::seconds limit) {
    std::unique_lock lock(m_mutex);
    std::optional<protocol::ExchangeOutcome> found;
    m_changed.wait_for(lock, limit, [&] {
        for (std::size_t i = endedBefore; i < m_outcomes.size(); ++i) {
            if (m_outcomes[i].request == request) {
                found = m_outcomes[i];
                return true;
            }
        }
        return false;
    });
    return found;
}

void DeviceSession::PostToWindow(std::uint32_t msg, std::uintptr_t, std::intptr_t) {
    if (msg != protocol::UM_DEVICE_ONLINE) return;
    {
        std::lock_guard lock(m_mutex);
        ++m_online;
    }
    m_changed.notify_all();
}

void DeviceSession::OnSent(const protocol::Frame& request, int attempt, int attempts) {
    m_record.OnSent(request, attempt, attempts);
    if (attempt == 1 && IsRead(request) && m_progress) {
        bool readAll;
        {
            std::lock_guard lock(m_mutex);
            readAll = m_phase == Phase::ReadAll;
        }
        const int reg = RegisterOf(request);
        if (readAll) m_progress(reg, reg - protocol::kFirstRegister + 1, RegistersRead());
    }
}

void DeviceSession::OnReceivedRuns(const std::vector<protocol::ReceivedRun>& runs) {
    m_record.OnReceivedRuns(runs);
}

void DeviceSession::OnTimedOut(const protocol::Frame& request, int attempt, int attempts) {
    m_record.OnTimedOut(request, attempt, attempts);
}

void DeviceSession::OnPortLost() {
    m_record.OnPortLost();
}

void DeviceSession::OnExchangeEnded(const protocol::ExchangeOutcome& outcome) {
    m_record.OnExchangeEnded(outcome);
    {
        std::lock_guard lock(m_mutex);
        m_outcomes.push_back(outcome);
        m_answered = m_answered || outcome.ok;
        if (IsRead(outcome.request)) {
            const int index = RegisterOf(outcome.request) - protocol::kFirstRegister;
            const std::optional<std::uint16_t> word =
                outcome.ok ? outcome.value : std::optional<std::uint16_t>();
            if (m_phase == Phase::ReadAll && index >= 0 && index < protocol::kRegisterCount) {
                m_words[static_cast<std::size_t>(index)] = word;
                m_readFailures[static_cast<std::size_t>(index)] =
                    outcome.ok ? std::nullopt : std::optional(outcome);
            } else if (m_phase == Phase::Sampling && m_sampleTaken &&
                       outcome.request == m_sampleRequest) {
                m_sampleTaken(outcome);
            }
        }
    }
    m_changed.notify_all();
}

}  // namespace cli
