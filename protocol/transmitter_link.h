#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "protocol/device_parameters.h"
#include "protocol/frames.h"
#include "protocol/line_exchange.h"
#include "protocol/line_queue.h"
#include "protocol/link_observer.h"
#include "protocol/messages.h"
#include "protocol/registers.h"
#include "threads/event.h"

namespace protocol {

// The conversations with the transmitter: handshake, read-all, writes and
// the sampling poll, each a task on a worker thread that reports only
// through the sink's UM_ messages. The line itself is the queue's (turns,
// connections) and the exchange's (one request and its reply); here:
// - every task belongs to one connection: once that connection is over it
//   sends nothing more and posts nothing;
// - the handshake goes on from the task whose request was answered, so
//   nothing that arrives on the line can start a task by itself;
// - a read's word is stored in the field of the register that exchange
//   asked for, and not at all after the device acknowledged LinkEnd; only
//   the sampling poll's words count as sample readings;
// - all shared state sits under one lock or in atomics;
// - destruction ends pending exchanges at once as failures, posts nothing
//   more, and returns only when no task or the sampling thread can run.
//
// The owner must stop the engine's receive thread before destroying this
// object (the link detaches its exchange as handler, but a call already
// under way cannot be recalled), and must destroy this object before the
// engine.
class CTransmitterLink final {
public:
    // The line's timing, and the tasks' own pauses.
    struct Timing : LineTiming {
        std::chrono::milliseconds taskPause{100};
        std::chrono::milliseconds samplingPace{50};
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

    // Installs its exchange as the engine's handler and starts SamplingThread.
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
    // One ConnectRequest, one attempt, on a port the caller has just opened
    // again at `baud` (LineReopened first); posts UM_PROBE_RESULT and
    // starts nothing after it. The probe never writes a register.
    bool StartProbeTask(int baud);

    // The adapter's echo, for this connection and the later ones.
    void SetEchoMode(EchoMode mode) { m_exchange.SetEchoMode(mode); }
    // True while this connection takes our own bytes off what arrives.
    bool EchoSeen() const { return m_exchange.EchoSeen(); }
    // The rate the port was opened at (before the handshake).
    void SetLineBaud(int baud) { m_exchange.SetBaud(baud); }
    // The USB adapter's latency timer, as the port reports it (0: none).
    void SetAdapterLatency(std::chrono::milliseconds latency) {
        m_exchange.SetAdapterLatency(latency);
    }
    // The port of this connection was opened again at `baud`.
    void LineReopened(int baud);
    // The failed ConnectRequest of this connection, with what the line gave
    // back during it (empty: none failed).
    std::optional<ExchangeOutcome> HandshakeFailure() const;

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
    void SetObserver(ILinkObserver* observer) { m_exchange.SetObserver(observer); }

    // A typed value the front end refused (nothing was sent): reported to
    // the observer with the words of the refusal.
    void ReportRefused(OperationCode code, const std::wstring& text, const std::wstring& reason);

    // Sampling buttons.
    void SetZeroSampling(bool on);
    void SetFullSampling(bool on);
    bool ZeroSampling() const { return m_zeroSampling.load(); }
    bool FullSampling() const { return m_fullSampling.load(); }
    void SetRegisterIndex(int index) { m_registerIndex.store(index); }
    int RegisterIndex() const { return m_registerIndex.load(); }

    // The first steps of closing the program: stop sampling for good, end the
    // connection (LinkEnd goes next, as on EndConnection) and give LinkEnd
    // `pause` (2000 ms in the program) to go out before the caller stops the
    // engine.
    void Shutdown(std::chrono::milliseconds pause = std::chrono::milliseconds(2000));

private:
    friend class CTransmitterLinkTestPeer;
    enum class TaskKind { Vendor, ReadAll, Write, Probe };
    struct TaskArgs;
    using Turn = CLineQueue::Turn;
    using Connection = CLineQueue::Connection;
    // What a read's word is, once its reply came.
    enum class Store { Field, Sample };

    static int32_t TaskEntry(void* owner, std::uintptr_t parameter);
    // Starts a task in `turn` (its place is given up if it cannot start).
    bool LaunchInTurn(const Turn& turn, TaskKind kind, OperationCode code, std::uint16_t value);
    // of: start only while that connection is still the current one.
    bool Launch(TaskKind kind, OperationCode code, std::uint16_t value,
                std::optional<Connection> of = std::nullopt);
    void RunTask(const TaskArgs& args);
    void VendorTask(const Turn& turn, OperationCode code);
    void ReadAllTask(Turn turn);
    void WriteTask(const Turn& turn, OperationCode code, std::uint16_t value);
    void ProbeTask(const Turn& turn, int baud);
    void SamplingThread();
    // The next step of the handshake after `code` was answered.
    void FollowUp(OperationCode code, Connection connection);
    // Reads register 10 + index in `turn`; its word goes where `store` says.
    ExchangeOutcome Read(const Turn& turn, int index, Store store);
    void StoreWord(int index, std::uint16_t word, Store store);
    void LinkEndDone();
    // Posts only while the connection is current and live.
    void Post(Connection connection, std::uint32_t msg, std::uintptr_t wParam,
              std::intptr_t lParam);
    // Sleeps, but returns early once shutting down.
    void Pause(std::chrono::milliseconds duration);

    TransmitterEngine& m_engine;
    IMessageSink& m_sink;
    const Timing m_timing;
    CLineQueue m_queue;
    CLineExchange m_exchange;

    std::atomic<int> m_mode{-1};  // -1 not chosen, 0 user, 1 factory
    std::atomic<int> m_registerIndex{0};
    std::atomic<bool> m_zeroSampling{false};
    std::atomic<bool> m_fullSampling{false};
    std::atomic<bool> m_stopFlag{false};

    CEvent m_stopEvent{true, false};  // manual-reset: wakes SamplingThread for good
    // Auto-reset: sampling was switched on (or the link stops); until then
    // SamplingThread sleeps.
    CEvent m_samplingWake{false, false};

    // Everything below is guarded by m_mutex (taken before the queue's and
    // the exchange's own locks, never after them).
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;  // task count, closing, LinkEnd written
    bool m_closing = false;
    int m_tasks = 0;  // started and not yet returned from TaskEntry
    bool m_linkEndPending = false;
    bool m_lossReported = false;  // UM_PORT_LOST went out for this connection
    DeviceParameters m_params;
    std::uint32_t m_changedFields = 0;
    std::uint32_t m_sampledFields = 0;
    RegisterWords m_words;
    std::optional<ExchangeOutcome> m_handshakeFailure;

    std::thread m_samplingThread;  // last: starts once everything above exists
};

}  // namespace protocol
