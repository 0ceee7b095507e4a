#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/unique_fd.h"
#include "protocol/frames.h"
#include "sim/fault_modes.h"
#include "sim/pseudo_terminal.h"
#include "sim/register_bank.h"
#include "sim/request_scanner.h"

namespace corvexa::sim {

struct ReceivedFrame {
    protocol::Frame bytes;
    std::chrono::steady_clock::time_point at;
};

// A transmitter on the master side of a pseudo-terminal. The program opens
// SlavePath() as it would a serial port. Requests are answered on the
// simulator's own thread, one at a time, in the order they came; every
// setter may be called from any thread while it runs.
class SimulatedTransmitter {
public:
    // 9600 baud, 8N1: ten bit times a byte.
    static constexpr std::chrono::nanoseconds kByteTime{10'000'000'000 / 9600};

    static constexpr std::size_t kMaxRecorded = 100'000;

    struct Options {
        // The device's own rate: a program that set the line to another one
        // gets bytes that form no reply, as a receiver at the wrong rate does.
        int baud = 9600;
        bool pacing = true;
        bool wander = true;
        // How many requests (and reply ends) the record keeps; a simulator
        // that stands in for a device in a program needs none.
        std::size_t recorded = kMaxRecorded;
        std::uint32_t seed = 20261207;
        FaultModes faults;
        // Called on the simulator's thread with every request taken in
        // (incoming) and every reply as it goes out, glued replies as one.
        std::function<void(bool incoming, const std::vector<std::uint8_t>& bytes)> trace;
    };

    SimulatedTransmitter();
    explicit SimulatedTransmitter(Options options);
    // Stops the thread, even in the middle of a delayed or paced reply.
    ~SimulatedTransmitter();
    SimulatedTransmitter(const SimulatedTransmitter&) = delete;
    SimulatedTransmitter& operator=(const SimulatedTransmitter&) = delete;

    const std::string& SlavePath() const { return m_pty.SlavePath(); }

    // Fault modes; each takes effect from the next request on.
    void SetFaults(const FaultModes& faults);
    FaultModes Faults() const;
    void ClearFaults();
    void SetSilent(bool on);
    void SetReplyDelay(std::chrono::milliseconds delay);
    void SetSplitOffsets(std::vector<std::size_t> offsets, std::chrono::milliseconds pause);
    void SetSplitPieces(std::size_t pieces, std::chrono::milliseconds pause);
    void ClearSplit();
    void SetGlue(bool on);
    void SetCorruptCrc(bool on);
    void SetException(std::optional<std::uint8_t> code);
    void SetDropEvery(unsigned n);
    void SetUsbPackets(std::chrono::milliseconds period);
    // On (the default), a request counts as complete only after its own wire
    // time and each reply byte is written at the end of its byte time. Off:
    // the reply (or each piece) is written at once, as fast as the pty goes.
    void SetPacing(bool on);
    // Also sets the baud-rate register (13) when the rate is in its table.
    void SetBaud(int baud);
    int Baud() const { return m_baud.load(); }
    // The rate the program set on its side of the pty (0: unknown).
    int ProgramBaud() const;

    std::optional<std::uint16_t> Register(std::uint16_t reg) const;
    bool SetRegister(std::uint16_t reg, std::uint16_t value);
    void SetWander(bool on);

    // The requests received since start (or the last ClearFrames), answered
    // or not, in order. Only the latest Options::recorded are kept, so a simulator
    // polled for days does not grow without bound; FrameCount counts them all.
    std::vector<ReceivedFrame> Frames() const;
    std::size_t FrameCount() const;
    // True once at least n frames are on record; false after the time-out.
    bool WaitForFrames(std::size_t n, std::chrono::milliseconds timeout) const;
    // Requests fully dealt with: answer written, dropped or kept quiet about.
    // Not reset by ClearFrames.
    std::size_t RequestsHandled() const;
    bool WaitForHandled(std::size_t n, std::chrono::milliseconds timeout) const;
    void ClearFrames();
    std::size_t SkippedBytes() const;
    // When the last byte of each reply went to the program (glued replies
    // count once), in order; kept and cleared with the frames. A request that
    // came while the simulator was busy (answering, or waiting to) is on
    // record with the time it was first seen on the line, so the silence
    // between a reply and the next request can be measured.
    std::vector<std::chrono::steady_clock::time_point> ReplyEnds() const;

private:
    void Run();
    void Handle(const protocol::Frame& request, std::chrono::steady_clock::time_point arrived);
    void Send(const std::vector<std::uint8_t>& reply, const FaultModes& faults,
              std::chrono::steady_clock::time_point arrived);
    bool SendPiece(const std::vector<std::uint8_t>& piece, std::chrono::milliseconds usbPacket);
    // Ten bit times at the device's rate.
    std::chrono::nanoseconds ByteTime() const;
    bool WriteAll(const std::uint8_t* data, std::size_t length);
    // False when the simulator is stopping; true once `deadline` has passed.
    bool SleepUntil(std::chrono::steady_clock::time_point deadline);
    // Waits for `events` on the master or for the stop signal.
    bool WaitMaster(short events, std::chrono::steady_clock::time_point deadline);

    PseudoTerminal m_pty;
    const std::chrono::steady_clock::time_point m_epoch;  // the adapter's packet clock
    base::UniqueFd m_wake;
    RegisterBank m_bank;
    std::atomic<bool> m_pacing;
    std::atomic<int> m_baud;
    const std::size_t m_recorded;
    const decltype(Options::trace) m_trace;

    mutable std::mutex m_faultMutex;
    FaultModes m_faults;

    mutable std::mutex m_recordMutex;
    mutable std::condition_variable m_recordChanged;
    std::deque<ReceivedFrame> m_frames;
    std::deque<std::chrono::steady_clock::time_point> m_replyEnds;
    std::size_t m_frameCount = 0;
    std::size_t m_handled = 0;
    std::size_t m_skipped = 0;

    // Touched by the simulator thread only.
    RequestScanner m_scanner;
    std::uint64_t m_requestCount = 0;
    std::uint64_t m_replyCount = 0;
    std::chrono::steady_clock::time_point m_nextBabble{};
    std::vector<std::uint8_t> m_heldReply;
    // Set when request bytes were seen while busy; the next request's arrival.
    std::optional<std::chrono::steady_clock::time_point> m_heardAt;
    std::chrono::steady_clock::time_point m_lastWriteAt{};  // of the last reply bytes

    std::thread m_thread;
};

}  // namespace corvexa::sim
