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
//   kind that exchange's request expects; a late reply completes nothing;
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
    // wrong code, or the worker could not be started).
    bool StartVendorTask(OperationCode code);
    bool StartReadAllTask();
    bool StartWriteTask(OperationCode code, std::uint16_t value);
    // A write of the value the record holds now (see SetText / SetCode).
    bool StartWrite(OperationCode code);

    // A consistent copy of the record, for the window to show.
    DeviceParameters Parameters() const;
    // The raw word of each register as last read; a read-all forgets the
    // words of the one before it, so a register it could not read is empty.
    RegisterWords Words() const;
    // The window's edits and box selections, taken into the record just
    // before a write. SetText takes the text behind a write operation's edit,
    // SetCode the selection of the signal source or gain box (-1: none).
    bool SetText(OperationCode code, std::wstring text);
    bool SetCode(OperationCode code, int selection);

    // Sampling buttons.
    void SetZeroSampling(bool on) { m_zeroSampling.store(on); }
    void SetFullSampling(bool on) { m_fullSampling.store(on); }
    bool ZeroSampling() const { return m_zeroSampling.load(); }
    bool FullSampling() const { return m_fullSampling.load(); }
    void SetRegisterIndex(int index) { m_registerIndex.store(index); }
    int RegisterIndex() const { return m_registerIndex.load(); }

    // The first steps of closing the program: stop sampling for good, send
    // LinkEnd on a task and give it `pause` (2000 ms in the program) to go
    // out before the caller stops the engine.
    void Shutdown(std::chrono::milliseconds pause = std::chrono::milliseconds(2000));

    // Engine receive thread: one chunk as read from the port.
    void OnReceive(serial::Serial* port, const uint8_t* data, int32_t length) override;

private:
    enum class TaskKind { Vendor, ReadAll, Write };
    struct TaskArgs;
    using Ticket = std::uint64_t;

    static int32_t TaskEntry(void* owner, std::uintptr_t parameter);
    bool Launch(TaskKind kind, OperationCode code, std::uint16_t value);
    void RunTask(const TaskArgs& args);
    void VendorTask(Ticket ticket, OperationCode code);
    void ReadAllTask(Ticket ticket);
    void WriteTask(Ticket ticket, OperationCode code, std::uint16_t value);
    void SamplingThread();

    // A place in the line; 0 once shutting down.
    Ticket TakeTurn();
    void LeaveLine(Ticket ticket);
    // Waits for the ticket's turn, then sends `frame` up to `attempts` times.
    // storeIndex: the record index a read's value goes to (reads only);
    // markIndex: the RegisterIndex to publish when the turn comes (-1: none).
    bool Exchange(Ticket ticket, const Frame& frame, ReplyKind expect, int storeIndex = -1,
                  int markIndex = -1);
    void Post(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
    // Sleeps, but returns early once shutting down.
    void Pause(std::chrono::milliseconds duration);
    bool Closing() const;

    TransmitterEngine& m_engine;
    IMessageSink& m_sink;
    const Timing m_timing;

    std::atomic<int> m_mode{-1};  // -1 not chosen, 0 user, 1 factory
    std::atomic<int> m_registerIndex{0};
    std::atomic<bool> m_zeroSampling{false};
    std::atomic<bool> m_fullSampling{false};
    std::atomic<bool> m_stopFlag{false};

    CEvent m_replyEvent{false, false};  // auto-reset: set when the awaited reply came
    CEvent m_stopEvent{true, false};    // manual-reset: wakes SamplingThread for good

    // Everything below is guarded by m_mutex.
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;  // turns, task count, closing
    bool m_closing = false;
    int m_tasks = 0;  // started and not yet returned from TaskEntry
    std::deque<Ticket> m_line;
    Ticket m_nextTicket = 1;
    std::optional<ReplyKind> m_expect;  // kind the exchange on the line waits for
    int m_storeIndex = -1;
    bool m_replied = false;
    CReplyAssembler m_assembler;
    DeviceParameters m_params;
    RegisterWords m_words;

    std::thread m_samplingThread;  // last: starts once everything above exists
};

}  // namespace protocol
