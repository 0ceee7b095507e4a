#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "protocol/device_parameters.h"
#include "protocol/frames.h"
#include "protocol/link_observer.h"
#include "protocol/messages.h"
#include "protocol/registers.h"
#include "protocol/reply_assembler.h"
#include "serial/serial_com_imp.h"
#include "threads/event.h"

namespace protocol {

using TransmitterEngine = SerialComImp<IComHanlder, 2048>;

// The conversations with the transmitter: handshake, read-all, writes and
// the sampling poll. Every exchange sends one 8-byte request and waits up to
// 1000 ms for its reply, 3 attempts; tasks run on worker threads and report
// only through the sink's UM_ messages.
//
// Beyond the bare protocol it keeps the line sound:
// - one exchange on the line at a time; tasks take turns in the order they
//   were started, each exchange whole;
// - a reply completes only the exchange on the line, and only if it is the
//   kind that exchange's request expects (a write only by its own echo), and
//   a station-1 reply only with a good CRC;
// - a vendor answer acts only as the answer to the vendor request on the
//   line: the handshake goes on from the task whose request it answered, so
//   nothing that arrives can start a task by itself;
// - a Modbus exception reply ends its exchange at once, without retries;
// - the wait for a quiet line before a request has a bound;
// - after an attempt timed out the line stays quiet for a guard time, and
//   whatever arrives in it is dropped, so a late reply completes nothing;
// - no request leaves sooner than 3.5 characters after the last byte
//   received, nor while the rest of a recognised reply is still coming;
// - every task belongs to one connection: once that connection is over it
//   sends nothing more and posts nothing;
// - replies are reassembled however the engine cuts them into chunks;
// - a read reply is stored in the field of the register that exchange
//   asked for, and not at all after the device acknowledged LinkEnd;
// - all shared state sits under one lock or in atomics;
// - destruction ends pending exchanges at once as failures, posts nothing
//   more, and returns only when no task or the sampling thread can run.
//
// The owner must stop the engine's receive thread before destroying this
// object (the link detaches itself as handler, but a call already under
// way cannot be recalled), and must destroy this object before the engine.
class CTransmitterLink final : public IComHanlder {
public:
    struct Timing {
        std::chrono::milliseconds attempt{1000};
        int attempts = 3;
        std::chrono::milliseconds taskPause{100};
        std::chrono::milliseconds samplingPace{50};
        // Quiet line after a timed-out attempt: a reply up to 250 ms late,
        // its 8 ms on the wire and the engine's 50 ms read still land in it.
        std::chrono::milliseconds guard{400};
        // Silence before every request, from the last byte received: 3.5
        // characters at 9600 baud (35 bit times), the end of a frame on RTU.
        std::chrono::microseconds frameGap{3646};
        // How long past the guard a request waits for that silence before
        // its exchange fails: 12 frame times, and more than the 50 ms the
        // rest of a short vendor answer may take.
        std::chrono::milliseconds quietLimit{100};
    };

    // Fields stored from read replies since the last TakeUpdate.
    struct ParameterUpdate {
        DeviceParameters values;
        std::uint32_t changed = 0;  // bit i: register index i was stored
        // bit i: stored by the sampling poll (only that is a sample reading)
        std::uint32_t sampled = 0;
        bool Changed(int index) const { return (changed >> index) & 1u; }
        bool Sampled(int index) const { return (sampled >> index) & 1u; }
    };

    // Installs itself as the engine's handler and starts SamplingThread.
    CTransmitterLink(TransmitterEngine& engine, IMessageSink& sink);
    CTransmitterLink(TransmitterEngine& engine, IMessageSink& sink, Timing timing);
    ~CTransmitterLink();
    CTransmitterLink(const CTransmitterLink&) = delete;
    CTransmitterLink& operator=(const CTransmitterLink&) = delete;

    // The version chosen at start; fixed once set (a later different choice
    // is refused with false). Until then the user version is assumed.
    bool SetFactoryMode(bool factory);
    bool FactoryMode() const;

    // Each returns at once; false if no task was started (shutting down,
    // connection ended, wrong code, or the worker could not be started).
    bool StartVendorTask(OperationCode code);
    bool StartReadAllTask();
    bool StartWriteTask(OperationCode code, std::uint16_t value);

    // Connections. Each task belongs to the connection that was current when
    // it was started; one connection is current and live from construction.
    // BeginConnection makes a new one (call it before the new port opens):
    // tasks of earlier connections end at once, sending and posting nothing.
    void BeginConnection();
    // Ends the current connection: its queued exchanges end at once, the one
    // on the line after its current attempt, and LinkEnd goes out next, ahead
    // of everything. Until the next BeginConnection no task starts. False if
    // the connection had already ended (nothing is sent then).
    bool EndConnection();
    // True once the LinkEnd of the last EndConnection was written to the
    // engine, or will never be (superseded, closing).
    bool LinkEndWritten() const;
    bool WaitLinkEndWritten(std::chrono::milliseconds bound) const;

    // A consistent copy of the record, for the window to show.
    DeviceParameters Parameters() const;
    // The record and which fields read replies stored since the last call.
    ParameterUpdate TakeUpdate();
    // The raw word of each register as last read; a read-all forgets the
    // words of the one before it, so a register it could not read is empty.
    RegisterWords Words() const;
    // Reports the traffic to `observer` (null: nobody). Set it before the
    // first task starts; the observer must outlive this object.
    void SetObserver(ILinkObserver* observer) { m_observer.store(observer); }

    // A typed value the front end refused (nothing was sent): reported to
    // the observer with the words of the refusal.
    void ReportRefused(OperationCode code, const std::wstring& text, const std::wstring& reason);

    // Sampling buttons.
    void SetZeroSampling(bool on) { m_zeroSampling.store(on); }
    void SetFullSampling(bool on) { m_fullSampling.store(on); }
    bool ZeroSampling() const { return m_zeroSampling.load(); }
    bool FullSampling() const { return m_fullSampling.load(); }
    void SetRegisterIndex(int index) { m_registerIndex.store(index); }
    int RegisterIndex() const { return m_registerIndex.load(); }

    // The first steps of closing the program: stop sampling for good, end the
    // connection (LinkEnd goes next, as on EndConnection) and give LinkEnd
    // `pause` (2000 ms in the program) to go out before the caller stops the
    // engine.
    void Shutdown(std::chrono::milliseconds pause = std::chrono::milliseconds(2000));

    // Engine receive thread: one chunk as read from the port.
    void OnReceive(serial::Serial* port, const uint8_t* data, int32_t length) override;
    // Engine receive thread: a read failed or the line went away. The live
    // connection reports UM_PORT_LOST once.
    void OnError(serial::Serial* port, int32_t code) override;

private:
    enum class TaskKind { Vendor, ReadAll, Write };
    struct TaskArgs;
    using Ticket = std::uint64_t;
    using Connection = std::uint64_t;
    // A place in the line. linkEnd: the LinkEnd that ends `connection`, which
    // may still go out after the connection stopped being live.
    struct Turn {
        Ticket ticket = 0;  // 0: no place (closing, connection over)
        Connection connection = 0;
        bool linkEnd = false;
    };

    static int32_t TaskEntry(void* owner, std::uintptr_t parameter);
    // Under m_mutex.
    bool LaunchLocked(std::unique_lock<std::mutex>& lock, TaskKind kind, OperationCode code,
                      std::uint16_t value, bool linkEnd);
    // of: start only while that connection is still the current one.
    bool Launch(TaskKind kind, OperationCode code, std::uint16_t value,
                std::optional<Connection> of = std::nullopt);
    void RunTask(const TaskArgs& args);
    void VendorTask(const Turn& turn, OperationCode code);
    void ReadAllTask(Turn turn);
    void WriteTask(const Turn& turn, OperationCode code, std::uint16_t value);
    void SamplingThread();

    // A place at the end of the line for `connection`.
    Turn TakeTurn(Connection connection);
    void LeaveLine(Ticket ticket);
    // Under m_mutex: the turn may still send / ends at once.
    bool MaySendLocked(const Turn& turn) const;
    bool SupersededLocked(const Turn& turn) const;
    // What a read's value is, once its reply came.
    enum class Store { Field, Sample };
    // Waits for the turn, then sends `frame` up to `attempts` times.
    // storeIndex: the record index a read's value goes to (reads only);
    // markIndex: the RegisterIndex to publish when the turn comes (-1: none).
    ExchangeOutcome Exchange(const Turn& turn, const Frame& frame, ReplyKind expect,
                             int storeIndex = -1, int markIndex = -1, Store store = Store::Field);
    enum class AttemptEnd { Replied, NoReply, LineBusy, Stopped };
    // One attempt: quiet line, send (counted in `sent`), wait.
    AttemptEnd Attempt(const Turn& turn, const Frame& frame, ReplyKind expect, int& sent);
    // Under m_mutex: false if the line never fell quiet within the limit.
    bool WaitForQuietLocked(std::unique_lock<std::mutex>& lock, const Turn& turn);
    // The next step of the handshake after `code` was answered.
    void FollowUp(OperationCode code, Connection connection);
    // Under m_mutex: the reply answers the request on the line.
    bool AwaitedLocked(const Reply& reply) const;
    // Under m_mutex: the awaited read's word goes where its exchange says.
    void StoreLocked(std::uint16_t word);
    void LinkEndDone();
    // Posts only while the connection is current and live.
    void Post(Connection connection, std::uint32_t msg, std::uintptr_t wParam,
              std::intptr_t lParam);
    // Sleeps, but returns early once shutting down.
    void Pause(std::chrono::milliseconds duration);
    bool Alive(Connection connection) const;

    TransmitterEngine& m_engine;
    IMessageSink& m_sink;
    const Timing m_timing;

    std::atomic<int> m_mode{-1};  // -1 not chosen, 0 user, 1 factory
    std::atomic<int> m_registerIndex{0};
    std::atomic<bool> m_zeroSampling{false};
    std::atomic<bool> m_fullSampling{false};
    std::atomic<bool> m_stopFlag{false};
    std::atomic<ILinkObserver*> m_observer{nullptr};

    CEvent m_replyEvent{false, false};  // auto-reset: set when the awaited reply came
    CEvent m_stopEvent{true, false};    // manual-reset: wakes SamplingThread for good

    // Held from the last check of a turn through its write, so that no write
    // of an earlier connection reaches a port opened after BeginConnection.
    std::mutex m_sendMutex;
    // Everything below is guarded by m_mutex (taken after m_sendMutex).
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;  // turns, task count, closing
    bool m_closing = false;
    int m_tasks = 0;  // started and not yet returned from TaskEntry
    std::deque<Ticket> m_line;
    Ticket m_nextTicket = 1;
    Ticket m_onLine = 0;  // the ticket whose exchange holds the line
    Connection m_connection = 1;
    bool m_live = true;
    bool m_linkEndPending = false;
    bool m_lossReported = false;  // UM_PORT_LOST went out for this connection
    std::chrono::steady_clock::time_point m_quietUntil{};
    std::chrono::steady_clock::time_point m_lastReceived{};  // last OnReceive
    std::optional<ReplyKind> m_expect;  // kind the attempt on the line waits for
    Frame m_request{};                  // the request of that attempt
    int m_storeIndex = -1;
    bool m_replied = false;
    std::optional<std::uint16_t> m_replyValue;  // the word of the awaited read reply
    std::optional<std::uint8_t> m_refusal;      // the exception code that answered it
    Store m_store = Store::Field;
    CReplyAssembler m_assembler;
    DeviceParameters m_params;
    std::uint32_t m_changedFields = 0;
    std::uint32_t m_sampledFields = 0;
    RegisterWords m_words;

    std::thread m_samplingThread;  // last: starts once everything above exists
};

}  // namespace protocol
