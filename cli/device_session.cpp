#include "cli/device_session.h"

#include <thread>

#include "base/wide_text.h"
#include "cli/stop_signal.h"
#include "cli/trace_log.h"
#include "protocol/link_port.h"
#include "protocol/register_table.h"
#include "serial/port_access.h"

namespace cli {

namespace {
using protocol::OperationCode;
using protocol::ReplyKind;
using protocol::VendorCommand;

// The window's sampling pace between two polls.
constexpr auto kSamplingPace = std::chrono::milliseconds(50);
}  // namespace

DeviceSession::DeviceSession(std::string port, bool factory, TraceLog* trace, SessionLine line)
    : m_port(std::move(port)),
      m_factory(factory),
      m_trace(trace),
      m_line(line),
      m_engine("", 9600, serial::Timeout(), serial::eightbits, serial::parity_none,
               serial::stopbits_one, serial::flowcontrol_none) {}

DeviceSession::~DeviceSession() {
    End();
}

std::optional<std::string> DeviceSession::Open(bool& problemIsPort) {
    problemIsPort = true;
    if (m_port.empty())
        return "no port name given: --port takes a path like /dev/ttyUSB0 (`corvexa-cli ports` "
               "lists the ports present)";
    if (m_trace) {
        m_traffic.SetLineSink(
            [this](const protocol::TrafficEntry& entry) { m_trace->Write(m_port, entry); });
    }
    m_traffic.BeginConnection(m_port);
    if (!OpenAt(m_line.baud)) {
        const auto failure = m_engine.LastOpenFailure();
        return serial::DiagnoseOpenFailure(m_port, failure.errorNumber, failure.message).text;
    }
    problemIsPort = false;
    m_exchange = std::make_unique<protocol::CLineExchange>(m_engine, m_queue, m_line.timing);
    m_exchange->SetEchoMode(m_line.echo);
    m_exchange->SetBaud(m_line.baud);
    m_queue.SetOnChange([this] {
        if (m_exchange) m_exchange->Wake();
    });
    m_exchange->SetObserver(&m_traffic);
    m_exchange->SetPortLost([this] {
        m_portLost.store(true);
        m_traffic.OnPortLost();
    });
    m_engine.SetHandler(m_exchange.get());
    if (!m_engine.Start()) {
        return "cannot start reading " + m_port + "; try again";
    }
    return std::nullopt;
}

bool DeviceSession::OpenAt(int baud) {
    m_engine.SetParams(m_port, static_cast<std::uint32_t>(baud), protocol::LinkPortTimeout(),
                       serial::eightbits, serial::parity_none, serial::stopbits_one,
                       serial::flowcontrol_none);
    return m_engine.Open() && m_engine.IsOpen();
}

protocol::LineDiagnosis DeviceSession::DiagnoseAndProbe() {
    protocol::LineDiagnosis diagnosis;
    diagnosis.baud = m_line.baud;
    if (m_handshakeFailure)
        diagnosis = protocol::DiagnoseHandshake(*m_handshakeFailure, m_line.baud);
    if (!m_exchange) return diagnosis;
    for (int rate : protocol::OtherRates(m_line.baud)) {
        if (StopRequested()) break;
        m_engine.Stop();
        if (!OpenAt(rate) || !m_engine.Start()) break;
        m_exchange->ResetLine();
        m_exchange->SetBaud(rate);
        m_traffic.OnProbe(rate);
        diagnosis.probed.push_back(rate);
        const protocol::ExchangeOutcome outcome = Exchange(
            protocol::VendorFrame(VendorCommand::ConnectRequest), ReplyKind::ConnectAccepted, 1);
        if (outcome.ok) {
            diagnosis.answeredAt = rate;
            break;
        }
    }
    return diagnosis;
}

int DeviceSession::RegistersRead() const {
    return static_cast<int>(protocol::IndexesReadBy(m_factory).size());
}

protocol::ExchangeOutcome DeviceSession::Exchange(const protocol::Frame& frame, ReplyKind expect,
                                                  int attempts) {
    if ((StopRequested() && !m_holdStop) || m_portLost.load()) {
        // Asked to stop, or the port is gone: nothing new goes out (LinkEnd
        // does, from End, when there is a port to take it).
        protocol::ExchangeOutcome cancelled;
        cancelled.request = frame;
        cancelled.failure = protocol::ExchangeFailure::Cancelled;
        return cancelled;
    }
    const protocol::ExchangeOutcome outcome =
        m_exchange->Exchange(m_queue.TakeTurn(), frame, expect, attempts);
    m_answered = m_answered || outcome.ok;
    return outcome;
}

bool DeviceSession::StillAnswers() {
    if (StopRequested() || m_portLost.load() || !m_exchange) return false;
    return m_exchange
        ->Exchange(m_queue.TakeTurn(), protocol::VendorFrame(VendorCommand::ConnectRequest),
                   ReplyKind::ConnectAccepted, 1)
        .ok;
}

bool DeviceSession::Connect() {
    m_handshakeFailure.reset();
    for (auto [command, answer] :
         {std::pair{VendorCommand::ConnectRequest, ReplyKind::ConnectAccepted},
          std::pair{VendorCommand::LinkStart, ReplyKind::LinkStarted}}) {
        const protocol::ExchangeOutcome outcome = Exchange(protocol::VendorFrame(command), answer);
        if (!outcome.ok) {
            m_handshakeFailure = outcome;
            return false;
        }
    }
    ReadAll();
    return true;
}

void DeviceSession::ReadAgain() {
    ReadAll();
    if (m_record.Started()) m_record.RecordAsLeft(m_words);
}

void DeviceSession::ReadAll() {
    m_words = {};
    m_readFailures = {};
    const std::vector<int> indexes = protocol::IndexesReadBy(m_factory);
    const int count = static_cast<int>(indexes.size());
    for (int index : indexes) {
        if (StopRequested() && !m_holdStop) break;
        const std::uint16_t reg = protocol::RegisterOfIndex(index);
        if (m_progress) m_progress(reg, index + 1, count);
        const protocol::ExchangeOutcome outcome =
            Exchange(protocol::ReadRequest(reg), ReplyKind::RegisterValue);
        const auto at = static_cast<std::size_t>(index);
        if (outcome.ok) {
            m_words[at] = outcome.value;
        } else {
            m_readFailures[at] = outcome;
        }
    }
}

void DeviceSession::StartRecord(const protocol::SessionContext& context,
                                std::shared_ptr<protocol::SessionJournal> journal) {
    m_record.Start(protocol::WallClock::now(), corvexa::base::FromUtf8(m_port), m_words, context,
                   std::move(journal));
}

protocol::ExchangeOutcome DeviceSession::Write(OperationCode code, std::uint16_t word) {
    const int index = protocol::ParamIndexOf(code);
    const protocol::WordContext context{m_words[protocol::kDecimalsIndex], std::nullopt};
    const auto text = [&](std::uint16_t w) {
        return corvexa::base::FromUtf8(protocol::ExactText(index, w, context));
    };
    if (m_record.Started())
        m_record.BeginWrite(protocol::WallClock::now(), code,
                            m_words[index] ? text(*m_words[index]) : std::wstring(), text(word));
    const protocol::ExchangeOutcome outcome = Exchange(
        protocol::WriteRequest(*protocol::WriteRegisterOf(code), word), ReplyKind::WriteEcho);
    if (m_record.Started()) m_record.CompleteWrite(code, outcome.ok);
    return outcome;
}

void DeviceSession::Sample(
    bool zero, int count,
    const std::function<void(std::chrono::milliseconds, const protocol::ExchangeOutcome&)>& each) {
    const std::uint16_t reg =
        protocol::RegisterOfIndex(zero ? protocol::kZeroSampleIndex : protocol::kFullSampleIndex);
    const auto start = std::chrono::steady_clock::now();
    for (int taken = 0; taken < count && !StopRequested(); ++taken) {
        if (taken > 0) std::this_thread::sleep_for(kSamplingPace);
        if (StopRequested()) break;
        const protocol::ExchangeOutcome outcome =
            Exchange(protocol::ReadRequest(reg), ReplyKind::RegisterValue);
        each(std::chrono::duration_cast<std::chrono::milliseconds>(
                 std::chrono::steady_clock::now() - start),
             outcome);
    }
}

void DeviceSession::End() {
    if (m_ended) return;
    m_ended = true;
    // A device that never answered is not kept waiting another 3 s.
    if (m_exchange && m_answered && !m_portLost.load()) {
        m_exchange->Exchange(m_queue.EndConnection(), protocol::VendorFrame(VendorCommand::LinkEnd),
                             ReplyKind::LinkEnded);
    }
    // The receive thread stops before the exchange goes, the exchange
    // before the engine.
    m_engine.Stop();
    m_engine.SetHandler(nullptr);
    m_exchange.reset();
}

}  // namespace cli
