#include "protocol/transmitter_link.h"

#include <memory>

#include "protocol/register_table.h"
#include "threads/ws_thread.h"

namespace protocol {

namespace {

ReplyKind AnswerTo(VendorCommand command) {
    switch (command) {
        case VendorCommand::ConnectRequest:
            return ReplyKind::ConnectAccepted;
        case VendorCommand::LinkStart:
            return ReplyKind::LinkStarted;
        case VendorCommand::LinkEnd:
            break;
    }
    return ReplyKind::LinkEnded;
}

// The handshake: which task follows the answer to which vendor request.
struct HandshakeStep {
    OperationCode answered;
    bool readAll;          // the next task is the read-all...
    OperationCode vendor;  // ...or this vendor request
};
constexpr HandshakeStep kHandshake[] = {
    {OperationCode::ConnectRequest, false, OperationCode::LinkStart},
    {OperationCode::LinkStart, true, OperationCode::LinkStart},
};

}  // namespace

// Each task carries its own arguments and its place in the line, taken when
// it was started, so that tasks started back to back go out in that order.
struct CTransmitterLink::TaskArgs {
    TaskKind kind;
    OperationCode code;
    std::uint16_t value;
    Turn turn;
};

CTransmitterLink::CTransmitterLink(TransmitterEngine& engine, IMessageSink& sink)
    : CTransmitterLink(engine, sink, Timing{}) {}

CTransmitterLink::CTransmitterLink(TransmitterEngine& engine, IMessageSink& sink, Timing timing)
    : m_engine(engine), m_sink(sink), m_timing(timing), m_exchange(engine, m_queue, timing) {
    m_queue.SetOnChange([this] { m_exchange.Wake(); });
    m_exchange.SetLinkEndWritten([this] { LinkEndDone(); });
    m_exchange.SetPortLost([this] {
        {
            std::lock_guard lock(m_mutex);
            if (m_closing || !m_queue.LiveConnection() || m_lossReported) return;
            m_lossReported = true;
            m_sink.PostToWindow(UM_PORT_LOST, 0, 0);
        }
        if (ILinkObserver* observer = m_exchange.Observer()) observer->OnPortLost();
    });
    m_samplingThread = std::thread(&CTransmitterLink::SamplingThread, this);
    m_engine.SetHandler(&m_exchange);
}

CTransmitterLink::~CTransmitterLink() {
    m_engine.SetHandler(nullptr);
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_changed.notify_all();
    m_stopFlag.store(true);
    m_stopEvent.Set();
    m_samplingWake.Set();
    m_exchange.Close();  // the exchange on the line gives up at once
    if (m_samplingThread.joinable()) m_samplingThread.join();
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_tasks == 0; });
}

bool CTransmitterLink::SetFactoryMode(bool factory) {
    int unset = -1;
    const int wanted = factory ? 1 : 0;
    return m_mode.compare_exchange_strong(unset, wanted) || unset == wanted;
}

bool CTransmitterLink::FactoryMode() const {
    return m_mode.load() == 1;
}

bool CTransmitterLink::StartVendorTask(OperationCode code) {
    if (!VendorCommandOf(code)) return false;
    return Launch(TaskKind::Vendor, code, 0);
}

bool CTransmitterLink::StartReadAllTask() {
    return Launch(TaskKind::ReadAll, OperationCode::ConnectRequest, 0);
}

bool CTransmitterLink::StartWriteTask(OperationCode code, std::uint16_t value) {
    if (!IsWriteOperation(code)) return false;
    return Launch(TaskKind::Write, code, value);
}

bool CTransmitterLink::StartProbeTask(int baud) {
    if (baud <= 0 || baud > 0xFFFF) return false;
    return Launch(TaskKind::Probe, OperationCode::ConnectRequest, static_cast<std::uint16_t>(baud));
}

void CTransmitterLink::LineReopened(int baud) {
    m_exchange.ResetLine();
    m_exchange.SetBaud(baud);
    if (ILinkObserver* observer = m_exchange.Observer()) observer->OnProbe(baud);
}

std::optional<ExchangeOutcome> CTransmitterLink::HandshakeFailure() const {
    std::lock_guard lock(m_mutex);
    return m_handshakeFailure;
}

DeviceParameters CTransmitterLink::Parameters() const {
    std::lock_guard lock(m_mutex);
    return m_params;
}

CTransmitterLink::ParameterUpdate CTransmitterLink::TakeUpdate() {
    std::lock_guard lock(m_mutex);
    ParameterUpdate update{m_params, m_changedFields, m_sampledFields};
    m_changedFields = 0;
    m_sampledFields = 0;
    return update;
}

RegisterWords CTransmitterLink::Words() const {
    std::lock_guard lock(m_mutex);
    return m_words;
}

void CTransmitterLink::BeginConnection() {
    {
        std::lock_guard lock(m_mutex);
        m_linkEndPending = false;
        m_lossReported = false;
        m_handshakeFailure.reset();
        m_exchange.BeginConnection();
    }
    m_changed.notify_all();
}

bool CTransmitterLink::EndConnection() {
    std::unique_lock lock(m_mutex);
    if (m_closing) return false;
    const Turn turn = m_queue.EndConnection();
    if (turn.ticket == 0) return false;
    m_linkEndPending = true;
    lock.unlock();
    if (!LaunchInTurn(turn, TaskKind::Vendor, OperationCode::LinkEnd, 0)) LinkEndDone();
    return true;
}

bool CTransmitterLink::LinkEndWritten() const {
    std::lock_guard lock(m_mutex);
    return !m_linkEndPending;
}

bool CTransmitterLink::WaitLinkEndWritten(std::chrono::milliseconds bound) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, bound, [this] { return !m_linkEndPending; });
}

void CTransmitterLink::LinkEndDone() {
    {
        std::lock_guard lock(m_mutex);
        m_linkEndPending = false;
    }
    m_changed.notify_all();
}

void CTransmitterLink::Shutdown(std::chrono::milliseconds pause) {
    m_stopFlag.store(true);
    m_stopEvent.Set();
    m_samplingWake.Set();
    EndConnection();
    std::this_thread::sleep_for(pause);
}

void CTransmitterLink::ReportRefused(OperationCode code, const std::wstring& text,
                                     const std::wstring& reason) {
    if (ILinkObserver* observer = m_exchange.Observer()) observer->OnRefused(code, text, reason);
}

bool CTransmitterLink::Launch(TaskKind kind, OperationCode code, std::uint16_t value,
                              std::optional<Connection> of) {
    // Between EndConnection and the next BeginConnection nothing may start,
    // nor a follow-up of a connection that is over.
    const Turn turn = m_queue.TakeTurn(of);
    if (turn.ticket == 0) return false;
    return LaunchInTurn(turn, kind, code, value);
}

bool CTransmitterLink::LaunchInTurn(const Turn& turn, TaskKind kind, OperationCode code,
                                    std::uint16_t value) {
    {
        std::lock_guard lock(m_mutex);
        if (m_closing) {
            m_queue.Leave(turn.ticket);
            return false;
        }
        ++m_tasks;
    }
    auto* args = new TaskArgs{kind, code, value, turn};
    auto* record =
        new STaskRecord{this, &CTransmitterLink::TaskEntry, reinterpret_cast<std::uintptr_t>(args)};
    if (CreateWorker(record, false) != nullptr) return true;
    // The worker deleted the record; the task never ran.
    delete args;
    m_queue.Leave(turn.ticket);
    {
        std::lock_guard lock(m_mutex);
        --m_tasks;
    }
    m_changed.notify_all();
    return false;
}

int32_t CTransmitterLink::TaskEntry(void* owner, std::uintptr_t parameter) {
    auto* self = static_cast<CTransmitterLink*>(owner);
    std::unique_ptr<TaskArgs> args(reinterpret_cast<TaskArgs*>(parameter));
    // Runs even if the task is unwound (a worker cancelled at exit): a place
    // left in the line would block every later exchange, and a task left
    // counted would hold up destruction for ever.
    struct Finish {
        CTransmitterLink* self;
        CLineQueue::Ticket ticket;
        ~Finish() {
            self->m_queue.Leave(ticket);  // no-op once its exchange used it
            // Last touch of the object: the destructor waits for this count,
            // and notifying under the lock keeps the condition variable alive.
            std::lock_guard lock(self->m_mutex);
            --self->m_tasks;
            self->m_changed.notify_all();
        }
    } finish{self, args->turn.ticket};
    self->RunTask(*args);
    return 0;
}

void CTransmitterLink::RunTask(const TaskArgs& args) {
    switch (args.kind) {
        case TaskKind::Vendor:
            VendorTask(args.turn, args.code);
            break;
        case TaskKind::ReadAll:
            ReadAllTask(args.turn);
            break;
        case TaskKind::Write:
            WriteTask(args.turn, args.code, args.value);
            break;
        case TaskKind::Probe:
            ProbeTask(args.turn, args.value);
            break;
    }
}

void CTransmitterLink::FollowUp(OperationCode code, Connection connection) {
    for (const HandshakeStep& step : kHandshake) {
        if (step.answered != code) continue;
        if (step.readAll) {
            Launch(TaskKind::ReadAll, OperationCode::ConnectRequest, 0, connection);
        } else {
            Launch(TaskKind::Vendor, step.vendor, 0, connection);
        }
    }
}

void CTransmitterLink::VendorTask(const Turn& turn, OperationCode code) {
    const VendorCommand command = *VendorCommandOf(code);
    const ExchangeOutcome outcome =
        m_exchange.Exchange(turn, VendorFrame(command), AnswerTo(command));
    if (outcome.ok) {
        // After the device acknowledged LinkEnd no read takes a value.
        if (command == VendorCommand::LinkEnd) m_registerIndex.store(kNoReadPending);
        FollowUp(code, turn.connection);
    } else if (command != VendorCommand::LinkEnd) {
        if (command == VendorCommand::ConnectRequest) {
            std::lock_guard lock(m_mutex);
            if (m_queue.Live(turn.connection)) m_handshakeFailure = outcome;
        }
        // A handshake step that failed leaves nothing to wait for; the
        // window says so and closes the port.
        Post(turn.connection, UM_NO_ANSWER, static_cast<std::uintptr_t>(code),
             ResultParam(outcome));
    }
    Pause(m_timing.taskPause);
}

ExchangeOutcome CTransmitterLink::Read(const Turn& turn, int index, Store store) {
    const ExchangeOutcome outcome =
        m_exchange.Exchange(turn, ReadRequest(RegisterOfIndex(index)), ReplyKind::RegisterValue);
    if (outcome.ok && outcome.value && m_registerIndex.load() != kNoReadPending)
        StoreWord(index, *outcome.value, store);
    return outcome;
}

void CTransmitterLink::StoreWord(int index, std::uint16_t word, Store store) {
    if (index < 0 || index >= kRegisterCount) return;
    std::lock_guard lock(m_mutex);
    StoreRegisterValue(m_params, index, word);
    const std::uint32_t bit = 1u << index;
    m_changedFields |= bit;
    if (store == Store::Sample) m_sampledFields |= bit;
    m_words[static_cast<std::size_t>(index)] = word;
}

void CTransmitterLink::ReadAllTask(Turn turn) {
    // User version: registers 10..17; factory version: 10..23.
    const std::vector<int> indexes = IndexesReadBy(FactoryMode());
    const int count = static_cast<int>(indexes.size());
    {
        // Words of an earlier read-all must not pass for this one's.
        std::lock_guard lock(m_mutex);
        m_words = {};
    }
    for (int index : indexes) {
        if (!m_queue.Live(turn.connection)) break;
        if (index != indexes.front()) turn = m_queue.TakeTurn(turn.connection);
        m_registerIndex.store(index);
        // A failed read leaves its field as it was; the loop goes on.
        const ExchangeOutcome outcome = Read(turn, index, Store::Field);
        Post(turn.connection, UM_READ_PROGRESS, static_cast<std::uintptr_t>(index),
             ReadProgressParam(count, outcome.ok, ResultParam(outcome)));
    }
    Pause(m_timing.taskPause);
    Post(turn.connection, UM_VALUES_CHANGED, 0, 0);
    Post(turn.connection, UM_DEVICE_ONLINE, 0, 1);
}

void CTransmitterLink::WriteTask(const Turn& turn, OperationCode code, std::uint16_t value) {
    const ExchangeOutcome outcome = m_exchange.Exchange(
        turn, WriteRequest(*WriteRegisterOf(code), value), ReplyKind::WriteEcho);
    Post(turn.connection, UM_WRITE_RESULT, static_cast<std::uintptr_t>(code), ResultParam(outcome));
}

void CTransmitterLink::ProbeTask(const Turn& turn, int baud) {
    const ExchangeOutcome outcome = m_exchange.Exchange(
        turn, VendorFrame(VendorCommand::ConnectRequest), ReplyKind::ConnectAccepted, 1);
    Post(turn.connection, UM_PROBE_RESULT, static_cast<std::uintptr_t>(baud), ResultParam(outcome));
}

void CTransmitterLink::SetZeroSampling(bool on) {
    m_zeroSampling.store(on);
    if (on) m_samplingWake.Set();
}

void CTransmitterLink::SetFullSampling(bool on) {
    m_fullSampling.store(on);
    if (on) m_samplingWake.Set();
}

void CTransmitterLink::SamplingThread() {
    for (;;) {
        // Nothing to poll: no wake-ups until a button asks for samples.
        if (!m_stopFlag.load() && !m_zeroSampling.load() && !m_fullSampling.load())
            m_samplingWake.Wait(CEvent::kInfinite);
        m_stopEvent.Wait(static_cast<uint32_t>(m_timing.samplingPace.count()));
        if (m_stopFlag.load()) {
            Pause(m_timing.taskPause);
            return;
        }
        const bool zero = m_zeroSampling.load();
        if (!zero && !m_fullSampling.load()) continue;
        // No connection: nothing to poll, nothing to show.
        const std::optional<Connection> connection = m_queue.LiveConnection();
        if (!connection) continue;
        // Register 20 is the zero sample, 21 the full sample. A sample that
        // got no value is reported, so the window does not pass off the last
        // one as current.
        const auto poll = [&](int index) {
            const ExchangeOutcome outcome =
                Read(m_queue.TakeTurn(*connection), index, Store::Sample);
            if (!outcome.ok) {
                Post(*connection, UM_SAMPLE_MISSED, static_cast<std::uintptr_t>(index),
                     ResultParam(outcome));
            }
        };
        if (zero) poll(kZeroSampleIndex);
        if (m_fullSampling.load()) poll(kFullSampleIndex);
        Post(*connection, UM_VALUES_CHANGED, 0, 0);
    }
}

void CTransmitterLink::Post(Connection connection, std::uint32_t msg, std::uintptr_t wParam,
                            std::intptr_t lParam) {
    // Under the lock, so that no message can follow the start of destruction
    // or the end of the task's connection.
    std::lock_guard lock(m_mutex);
    if (!m_closing && m_queue.Live(connection)) m_sink.PostToWindow(msg, wParam, lParam);
}

void CTransmitterLink::Pause(std::chrono::milliseconds duration) {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, duration, [this] { return m_closing; });
}

}  // namespace protocol
