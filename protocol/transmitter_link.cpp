#include "protocol/transmitter_link.h"

#include <memory>

#include "protocol/conversions.h"
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

}  // namespace

// Each task carries its own arguments, its connection and its place in the
// line, taken when it was started, so that tasks started back to back go out
// in that order.
struct CTransmitterLink::TaskArgs {
    TaskKind kind;
    OperationCode code;
    std::uint16_t value;
    Turn turn;
};

CTransmitterLink::CTransmitterLink(TransmitterEngine& engine, IMessageSink& sink)
    : CTransmitterLink(engine, sink, Timing{}) {}

CTransmitterLink::CTransmitterLink(TransmitterEngine& engine, IMessageSink& sink, Timing timing)
    : m_engine(engine), m_sink(sink), m_timing(timing) {
    m_samplingThread = std::thread(&CTransmitterLink::SamplingThread, this);
    m_engine.SetHandler(this);
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
    m_replyEvent.Set();  // the exchange on the line sees m_closing and gives up
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

void CTransmitterLink::BeginConnection() {
    {
        std::lock_guard send(m_sendMutex);
        std::lock_guard lock(m_mutex);
        ++m_connection;
        m_live = true;
        m_linkEndPending = false;
        m_lossReported = false;
        m_quietUntil = {};
        m_assembler = CReplyAssembler();
    }
    m_changed.notify_all();
    m_replyEvent.Set();  // an exchange of the old connection stops waiting now
    if (ILinkObserver* observer = m_observer.load()) observer->OnConnectionBegun();
}

bool CTransmitterLink::EndConnection() {
    std::unique_lock lock(m_mutex);
    if (m_closing || !m_live) return false;
    m_live = false;
    m_linkEndPending = true;
    if (!LaunchLocked(lock, TaskKind::Vendor, OperationCode::LinkEnd, 0, true)) {
        m_linkEndPending = false;
    }
    lock.unlock();
    m_changed.notify_all();
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

RegisterWords CTransmitterLink::Words() const {
    std::lock_guard lock(m_mutex);
    return m_words;
}

void CTransmitterLink::Shutdown(std::chrono::milliseconds pause) {
    m_stopFlag.store(true);
    m_stopEvent.Set();
    EndConnection();
    std::this_thread::sleep_for(pause);
}

void CTransmitterLink::OnReceive(serial::Serial*, const uint8_t* data, int32_t length) {
    if (data == nullptr || length <= 0) return;
    ILinkObserver* const observer = m_observer.load();
    std::vector<ReceivedRun> runs;
    {
        std::lock_guard lock(m_mutex);
        if (m_closing) return;
        m_lastReceived = std::chrono::steady_clock::now();
        std::vector<Reply> replies;
        m_assembler.Feed(data, static_cast<std::size_t>(length), replies,
                         observer != nullptr ? &runs : nullptr);
        auto run = runs.begin();
        for (const Reply& reply : replies) {
            const bool awaited = AwaitedLocked(reply);
            while (run != runs.end() && run->kind != ReceivedRun::Kind::Reply) ++run;
            if (run != runs.end()) {
                run->awaited = awaited;
                run->inGuard = !m_expect && m_lastReceived < m_quietUntil;
                if (m_expect) run->request = m_request;
                ++run;
            }
            // Whatever is not the answer to the request on the line changes
            // nothing and starts nothing: a stray FF AA is no read-all.
            if (!awaited) continue;
            switch (reply.kind) {
                case ReplyKind::RegisterValue:
                    // After LinkEnd no read takes a value.
                    if (m_registerIndex.load() != kNoReadPending) StoreLocked(*reply.value);
                    break;
                case ReplyKind::LinkEnded:
                    m_registerIndex.store(kNoReadPending);
                    break;
                case ReplyKind::Exception:
                    m_refusal = reply.exception;
                    break;
                default:
                    break;
            }
            m_replied = true;
            m_replyEvent.Set();
        }
    }
    m_changed.notify_all();  // a request waiting for the line re-reads it
    if (observer && !runs.empty()) observer->OnReceivedRuns(runs);
}

bool CTransmitterLink::AwaitedLocked(const Reply& reply) const {
    if (!m_expect || m_replied) return false;
    if (reply.kind == ReplyKind::Exception) {
        // The device refuses the function it was asked for.
        return (*m_expect == ReplyKind::RegisterValue && reply.function == kReadHolding) ||
               (*m_expect == ReplyKind::WriteEcho && reply.function == kWriteSingle);
    }
    // A write is answered by its own request's 8 bytes, nothing else.
    return *m_expect == reply.kind &&
           (reply.kind != ReplyKind::WriteEcho || reply.echo == m_request);
}

void CTransmitterLink::StoreLocked(std::uint16_t word) {
    m_replyValue = word;
    if (m_storeIndex < 0 || m_storeIndex >= kRegisterCount) return;
    StoreRegisterValue(m_params, m_storeIndex, word);
    const std::uint32_t bit = 1u << m_storeIndex;
    m_changedFields |= bit;
    if (m_store == Store::Sample) m_sampledFields |= bit;
    m_words[static_cast<std::size_t>(m_storeIndex)] = word;
}

void CTransmitterLink::OnError(serial::Serial*, int32_t) {
    {
        std::lock_guard lock(m_mutex);
        if (m_closing || !m_live || m_lossReported) return;
        m_lossReported = true;
        m_sink.PostToWindow(UM_PORT_LOST, 0, 0);
    }
    if (ILinkObserver* observer = m_observer.load()) observer->OnPortLost();
}

void CTransmitterLink::ReportRefused(OperationCode code, const std::wstring& text,
                                     const std::wstring& reason) {
    if (ILinkObserver* observer = m_observer.load()) observer->OnRefused(code, text, reason);
}

bool CTransmitterLink::Launch(TaskKind kind, OperationCode code, std::uint16_t value,
                              std::optional<Connection> of) {
    std::unique_lock lock(m_mutex);
    // Between EndConnection and the next BeginConnection nothing may start,
    // nor a follow-up of a connection that is over.
    if (!m_live || (of && *of != m_connection)) return false;
    return LaunchLocked(lock, kind, code, value, false);
}

bool CTransmitterLink::LaunchLocked(std::unique_lock<std::mutex>& lock, TaskKind kind,
                                    OperationCode code, std::uint16_t value, bool linkEnd) {
    if (m_closing) return false;
    const Turn turn{m_nextTicket++, m_connection, linkEnd};
    if (linkEnd) {
        // Next after the exchange on the line, ahead of all that waits.
        auto at = m_line.begin();
        if (m_onLine != 0 && !m_line.empty() && m_line.front() == m_onLine) ++at;
        m_line.insert(at, turn.ticket);
    } else {
        m_line.push_back(turn.ticket);
    }
    ++m_tasks;
    auto* args = new TaskArgs{kind, code, value, turn};
    auto* record =
        new STaskRecord{this, &CTransmitterLink::TaskEntry, reinterpret_cast<std::uintptr_t>(args)};
    lock.unlock();
    const bool started = CreateWorker(record, false) != nullptr;
    if (!started) {
        // The worker deleted the record; the task never ran.
        delete args;
        LeaveLine(turn.ticket);
    }
    lock.lock();
    if (!started) {
        --m_tasks;
        m_changed.notify_all();
    }
    return started;
}

int32_t CTransmitterLink::TaskEntry(void* owner, std::uintptr_t parameter) {
    auto* self = static_cast<CTransmitterLink*>(owner);
    std::unique_ptr<TaskArgs> args(reinterpret_cast<TaskArgs*>(parameter));
    // Runs even if the task is unwound (a worker cancelled at exit): a place
    // left in the line would block every later exchange, and a task left
    // counted would hold up destruction for ever.
    struct Finish {
        CTransmitterLink* self;
        Ticket ticket;
        ~Finish() {
            self->LeaveLine(ticket);  // no-op once its exchange used it
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
    }
}

namespace {

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
    const ExchangeOutcome outcome = Exchange(turn, VendorFrame(command), AnswerTo(command));
    if (turn.linkEnd) LinkEndDone();  // written, or never will be
    if (outcome.ok) {
        FollowUp(code, turn.connection);
    } else if (command != VendorCommand::LinkEnd) {
        // A handshake step that failed leaves nothing to wait for; the
        // window says so and closes the port.
        Post(turn.connection, UM_NO_ANSWER, static_cast<std::uintptr_t>(code),
             ResultParam(outcome));
    }
    Pause(m_timing.taskPause);
}

void CTransmitterLink::ReadAllTask(Turn turn) {
    // User version: registers 10..17; factory version: 10..23.
    const int count = FactoryMode() ? kRegisterCount : kUserRegisterCount;
    {
        // Words of an earlier read-all must not pass for this one's.
        std::lock_guard lock(m_mutex);
        m_words = {};
    }
    for (int index = 0; index < count && Alive(turn.connection); ++index) {
        if (index > 0) turn = TakeTurn(turn.connection);
        // A failed read leaves its field as it was; the loop goes on.
        const ExchangeOutcome outcome = Exchange(turn, ReadRequest(RegisterOfIndex(index)),
                                                 ReplyKind::RegisterValue, index, index);
        Post(turn.connection, UM_READ_PROGRESS, static_cast<std::uintptr_t>(index),
             ReadProgressParam(count, outcome.ok, ResultParam(outcome)));
    }
    Pause(m_timing.taskPause);
    Post(turn.connection, UM_VALUES_CHANGED, 0, 0);
    Post(turn.connection, UM_DEVICE_ONLINE, 0, 1);
}

void CTransmitterLink::WriteTask(const Turn& turn, OperationCode code, std::uint16_t value) {
    const ExchangeOutcome outcome =
        Exchange(turn, WriteRequest(*WriteRegisterOf(code), value), ReplyKind::WriteEcho);
    Post(turn.connection, UM_WRITE_RESULT, static_cast<std::uintptr_t>(code), ResultParam(outcome));
}

void CTransmitterLink::SamplingThread() {
    for (;;) {
        m_stopEvent.Wait(static_cast<uint32_t>(m_timing.samplingPace.count()));
        if (m_stopFlag.load()) {
            Pause(m_timing.taskPause);
            return;
        }
        const bool zero = m_zeroSampling.load();
        if (!zero && !m_fullSampling.load()) continue;
        Connection connection;
        {
            std::lock_guard lock(m_mutex);
            if (!m_live) continue;  // no connection: nothing to poll, nothing to show
            connection = m_connection;
        }
        // Register 20 is the zero sample, 21 the full sample. A sample that
        // got no value is reported, so the window does not pass off the last
        // one as current.
        const auto poll = [&](int index) {
            const ExchangeOutcome outcome =
                Exchange(TakeTurn(connection), ReadRequest(RegisterOfIndex(index)),
                         ReplyKind::RegisterValue, index, -1, Store::Sample);
            if (!outcome.ok) {
                Post(connection, UM_SAMPLE_MISSED, static_cast<std::uintptr_t>(index),
                     ResultParam(outcome));
            }
        };
        if (zero) poll(kZeroSampleIndex);
        if (m_fullSampling.load()) poll(kFullSampleIndex);
        Post(connection, UM_VALUES_CHANGED, 0, 0);
    }
}

void CTransmitterLink::Post(Connection connection, std::uint32_t msg, std::uintptr_t wParam,
                            std::intptr_t lParam) {
    // Under the lock, so that no message can follow the start of destruction
    // or the end of the task's connection.
    std::lock_guard lock(m_mutex);
    if (!m_closing && connection == m_connection && m_live)
        m_sink.PostToWindow(msg, wParam, lParam);
}

void CTransmitterLink::Pause(std::chrono::milliseconds duration) {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, duration, [this] { return m_closing; });
}

bool CTransmitterLink::Alive(Connection connection) const {
    std::lock_guard lock(m_mutex);
    return !m_closing && connection == m_connection && m_live;
}

}  // namespace protocol
