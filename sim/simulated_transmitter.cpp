#include "sim/simulated_transmitter.h"

#include <asm/termbits.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "protocol/line_doctor.h"
#include "sim/reply_builder.h"

namespace corvexa::sim {
namespace {

using Clock = std::chrono::steady_clock;

// How often an idle line looks whether the program has closed the slave.
constexpr auto kSweepPeriod = std::chrono::milliseconds(20);

timespec Remaining(Clock::time_point deadline) {
    const auto left = std::max(deadline - Clock::now(), Clock::duration::zero());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    return timespec{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

// What a receiver at the wrong rate makes of a reply: bytes that start no
// reply (never 01 or FF), as many as the reply had.
std::vector<std::uint8_t> Garble(const std::vector<std::uint8_t>& reply) {
    std::vector<std::uint8_t> noise;
    for (std::uint8_t b : reply) noise.push_back(static_cast<std::uint8_t>(0x80 | (b & 0x7E)));
    return noise;
}

}  // namespace

SimulatedTransmitter::SimulatedTransmitter() : SimulatedTransmitter(Options{}) {}

SimulatedTransmitter::SimulatedTransmitter(Options options)
    : m_epoch(Clock::now()),
      m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      m_bank(options.seed),
      m_pacing(options.pacing),
      m_baud(options.baud),
      m_recorded(options.recorded),
      m_trace(std::move(options.trace)),
      m_faults(std::move(options.faults)) {
    if (!m_wake.valid()) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
    m_bank.SetWander(options.wander);
    SetBaud(options.baud);
    m_thread = std::thread([this] { Run(); });
}

SimulatedTransmitter::~SimulatedTransmitter() {
    const std::uint64_t one = 1;
    // An eventfd write of 1 cannot fail short of overflow; the thread sees it
    // at its next wait, and every wait after that returns at once.
    [[maybe_unused]] ssize_t n = ::write(m_wake.get(), &one, sizeof one);
    m_thread.join();
}

void SimulatedTransmitter::Run() {
    // Named, so that what the device costs can be told from what the
    // program costs (top -H, the benchmarks).
    pthread_setname_np(pthread_self(), "corvexa-sim");
    std::uint8_t buffer[512];
    auto nextSweep = Clock::now();
    for (;;) {
        const auto babble = Faults().babble;
        if (!WaitMaster(POLLIN, Clock::now() + (babble.count() > 0 ? babble : kSweepPeriod))) {
            return;
        }
        if (babble.count() > 0 && Clock::now() >= m_nextBabble) {
            const std::uint8_t noise = 0x00;
            WriteAll(&noise, 1);
            m_nextBabble = Clock::now() + babble;
        }
        if (Clock::now() >= nextSweep) {
            m_pty.Sweep();
            nextSweep = Clock::now() + kSweepPeriod;
        }
        const ssize_t n = ::read(m_pty.Master(), buffer, sizeof buffer);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            continue;
        }
        if (n <= 0) {
            // The slave side is held open here, so this is not a hang-up we can
            // wait out by reading; back off instead of spinning.
            if (!SleepUntil(Clock::now() + std::chrono::milliseconds(10))) {
                return;
            }
            continue;
        }
        const auto arrived = m_heardAt.value_or(Clock::now());
        m_heardAt.reset();
        m_scanner.Feed(buffer, static_cast<std::size_t>(n));
        while (auto request = m_scanner.Next()) {
            Handle(*request, arrived);
        }
        std::lock_guard lock(m_recordMutex);
        m_skipped = m_scanner.SkippedBytes();
    }
}

void SimulatedTransmitter::Handle(const protocol::Frame& request, Clock::time_point arrived) {
    {
        std::lock_guard lock(m_recordMutex);
        m_frames.push_back({request, arrived});
        ++m_frameCount;
        if (m_frames.size() > m_recorded) {
            m_frames.pop_front();
        }
        m_skipped = m_scanner.SkippedBytes();
    }
    m_recordChanged.notify_all();
    if (m_trace) {
        m_trace(true, std::vector<std::uint8_t>(request.begin(), request.end()));
    }

    const FaultModes faults = Faults();
    if (faults.adapterEcho) {
        m_lastWriteAt = Clock::now();
        WriteAll(request.data(), request.size());
    }
    ++m_requestCount;
    const bool dropped = faults.dropEvery != 0 && m_requestCount % faults.dropEvery == 0;
    const std::uint16_t reg = static_cast<std::uint16_t>((request[2] << 8) | request[3]);
    const bool ignored =
        faults.ignoreRegister && request[0] == protocol::kStation && reg == *faults.ignoreRegister;
    const int programBaud = ProgramBaud();
    const bool wrongRate = programBaud != 0 && programBaud != m_baud.load();
    if (!dropped && !faults.silent && !ignored) {
        const bool refused =
            faults.exceptionCode && (!faults.exceptionRegister ||
                                     ((request[2] << 8) | request[3]) == *faults.exceptionRegister);
        std::vector<std::uint8_t> reply =
            BuildReply(request, m_bank, refused ? faults.exceptionCode : std::nullopt);
        if (!reply.empty()) {
            ++m_replyCount;
            if (faults.corruptCrc) {
                CorruptCrc(reply);
            }
            if (faults.flipEvery != 0 && m_replyCount % faults.flipEvery == 0) {
                FlipBitKeepingCrc(reply);
            }
            FaultModes timing = faults;
            timing.replyDelay += ApplyReplyFaults({request.begin(), request.end()}, reply, faults);
            if (wrongRate) reply = Garble(reply);
            Send(reply, timing, arrived);
        }
    }
    {
        std::lock_guard lock(m_recordMutex);
        ++m_handled;
    }
    m_recordChanged.notify_all();
}

void SimulatedTransmitter::Send(const std::vector<std::uint8_t>& reply, const FaultModes& faults,
                                Clock::time_point arrived) {
    // The pty hands the request over at once; on the wire its 8 bytes take
    // 8.3 ms, and a device cannot answer before its last byte is in.
    if (m_pacing.load() && !SleepUntil(arrived + ByteTime() * protocol::kFrameLength)) {
        return;
    }
    if (faults.replyDelay.count() > 0 && !SleepUntil(Clock::now() + faults.replyDelay)) {
        return;
    }
    if (faults.glue && m_heldReply.empty()) {
        m_heldReply = reply;
        return;
    }
    // A reply held back goes out in front of this one, glue still on or not.
    std::vector<std::uint8_t> out = std::move(m_heldReply);
    m_heldReply.clear();
    out.insert(out.end(), reply.begin(), reply.end());
    if (m_trace) {
        m_trace(false, out);
    }

    const auto pieces = SplitReply(out, faults);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0 && !SleepUntil(Clock::now() + faults.splitPause)) {
            return;
        }
        if (!SendPiece(pieces[i], faults.usbPacket)) {
            return;
        }
    }
    {
        std::lock_guard lock(m_recordMutex);
        m_replyEnds.push_back(m_lastWriteAt);
        if (m_replyEnds.size() > m_recorded) {
            m_replyEnds.pop_front();
        }
    }
}

bool SimulatedTransmitter::SendPiece(const std::vector<std::uint8_t>& piece,
                                     std::chrono::milliseconds usbPacket) {
    const bool pacing = m_pacing.load();
    // A byte is in the program's hands once its stop bit is through, so each
    // one is written at the end of its own byte time; an adapter holds them
    // until its next packet.
    const auto start = Clock::now();
    const auto due = [&](std::size_t i) {
        auto at = pacing ? start + std::chrono::duration_cast<Clock::duration>(ByteTime() * (i + 1))
                         : start;
        if (usbPacket.count() > 0) {
            const auto periods = (at - m_epoch + usbPacket - Clock::duration(1)) / usbPacket;
            at = m_epoch + periods * std::chrono::duration_cast<Clock::duration>(usbPacket);
        }
        return at;
    };
    for (std::size_t i = 0; i < piece.size();) {
        std::size_t n = 1;
        while (i + n < piece.size() && due(i + n) == due(i)) {
            ++n;
        }
        if (!SleepUntil(due(i))) {
            return false;
        }
        // Taken before the write: the program may be woken (and this thread
        // put aside) the moment the bytes are in.
        m_lastWriteAt = Clock::now();
        if (!WriteAll(&piece[i], n)) {
            return false;
        }
        i += n;
    }
    return true;
}

bool SimulatedTransmitter::WriteAll(const std::uint8_t* data, std::size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(m_pty.Master(), data, length);
        if (n > 0) {
            data += n;
            length -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno == EAGAIN) {
            // Nobody is draining the slave side; wait for room (or the stop).
            if (!WaitMaster(POLLOUT, Clock::time_point::max())) {
                return false;
            }
            continue;
        }
        return false;
    }
    return true;
}

bool SimulatedTransmitter::SleepUntil(Clock::time_point deadline) {
    for (;;) {
        // The line is watched too, until a request is heard: it is read only
        // when this one is dealt with, but its arrival counts from now.
        pollfd fds[2] = {{m_wake.get(), POLLIN, 0}, {m_pty.Master(), POLLIN, 0}};
        const timespec left = Remaining(deadline);
        const int rc = ::ppoll(fds, m_heardAt ? 1 : 2, &left, nullptr);
        if (rc > 0 && (fds[1].revents & POLLIN) != 0 && fds[0].revents == 0) {
            m_heardAt = Clock::now();
            continue;
        }
        if (rc > 0) {
            return false;
        }
        if (rc == 0 && Clock::now() >= deadline) {
            return true;
        }
        // EINTR, or ppoll woke a hair early: go round with what is left.
    }
}

bool SimulatedTransmitter::WaitMaster(short events, Clock::time_point deadline) {
    for (;;) {
        pollfd fds[2] = {{m_wake.get(), POLLIN, 0}, {m_pty.Master(), events, 0}};
        timespec left{};
        const bool forever = deadline == Clock::time_point::max();
        if (!forever) {
            left = Remaining(deadline);
        }
        const int rc = ::ppoll(fds, 2, forever ? nullptr : &left, nullptr);
        if (rc < 0 && errno == EINTR) {
            continue;
        }
        if (rc < 0 || fds[0].revents != 0) {
            return false;
        }
        if (fds[1].revents != 0 || (!forever && Clock::now() >= deadline)) {
            return true;
        }
    }
}

FaultModes SimulatedTransmitter::Faults() const {
    std::lock_guard lock(m_faultMutex);
    return m_faults;
}

void SimulatedTransmitter::SetFaults(const FaultModes& faults) {
    std::lock_guard lock(m_faultMutex);
    m_faults = faults;
}

void SimulatedTransmitter::ClearFaults() {
    SetFaults(FaultModes{});
}

void SimulatedTransmitter::SetSilent(bool on) {
    std::lock_guard lock(m_faultMutex);
    m_faults.silent = on;
}

void SimulatedTransmitter::SetReplyDelay(std::chrono::milliseconds delay) {
    std::lock_guard lock(m_faultMutex);
    m_faults.replyDelay = delay;
}

void SimulatedTransmitter::SetSplitOffsets(std::vector<std::size_t> offsets,
                                           std::chrono::milliseconds pause) {
    std::lock_guard lock(m_faultMutex);
    m_faults.splitOffsets = std::move(offsets);
    m_faults.splitPieces = 0;
    m_faults.splitPause = pause;
}

void SimulatedTransmitter::SetSplitPieces(std::size_t pieces, std::chrono::milliseconds pause) {
    std::lock_guard lock(m_faultMutex);
    m_faults.splitOffsets.clear();
    m_faults.splitPieces = pieces;
    m_faults.splitPause = pause;
}

void SimulatedTransmitter::ClearSplit() {
    SetSplitPieces(0, std::chrono::milliseconds(0));
}

void SimulatedTransmitter::SetGlue(bool on) {
    std::lock_guard lock(m_faultMutex);
    m_faults.glue = on;
}

void SimulatedTransmitter::SetCorruptCrc(bool on) {
    std::lock_guard lock(m_faultMutex);
    m_faults.corruptCrc = on;
}

void SimulatedTransmitter::SetException(std::optional<std::uint8_t> code) {
    std::lock_guard lock(m_faultMutex);
    m_faults.exceptionCode = code;
}

void SimulatedTransmitter::SetDropEvery(unsigned n) {
    std::lock_guard lock(m_faultMutex);
    m_faults.dropEvery = n;
}

void SimulatedTransmitter::SetUsbPackets(std::chrono::milliseconds period) {
    std::lock_guard lock(m_faultMutex);
    m_faults.usbPacket = period;
}

void SimulatedTransmitter::SetPacing(bool on) {
    m_pacing.store(on);
}

void SimulatedTransmitter::SetBaud(int baud) {
    if (baud <= 0) return;
    m_baud.store(baud);
    // The baud-rate register says the rate the device talks at.
    if (const auto code = protocol::CodeOfBaud(baud)) m_bank.Set(13, *code);
}

std::chrono::nanoseconds SimulatedTransmitter::ByteTime() const {
    return std::chrono::nanoseconds(10'000'000'000LL / m_baud.load());
}

int SimulatedTransmitter::ProgramBaud() const {
    // The master's settings calls reach the slave's termios on Linux.
    termios2 tio{};
    if (::ioctl(m_pty.Master(), TCGETS2, &tio) != 0) return 0;
    return static_cast<int>(tio.c_ospeed);
}

std::optional<std::uint16_t> SimulatedTransmitter::Register(std::uint16_t reg) const {
    return m_bank.Get(reg);
}

bool SimulatedTransmitter::SetRegister(std::uint16_t reg, std::uint16_t value) {
    return m_bank.Set(reg, value);
}

void SimulatedTransmitter::SetWander(bool on) {
    m_bank.SetWander(on);
}

std::vector<ReceivedFrame> SimulatedTransmitter::Frames() const {
    std::lock_guard lock(m_recordMutex);
    return {m_frames.begin(), m_frames.end()};
}

std::size_t SimulatedTransmitter::FrameCount() const {
    std::lock_guard lock(m_recordMutex);
    return m_frameCount;
}

bool SimulatedTransmitter::WaitForFrames(std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_recordMutex);
    return m_recordChanged.wait_for(lock, timeout, [&] { return m_frameCount >= n; });
}

std::size_t SimulatedTransmitter::RequestsHandled() const {
    std::lock_guard lock(m_recordMutex);
    return m_handled;
}

bool SimulatedTransmitter::WaitForHandled(std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_recordMutex);
    return m_recordChanged.wait_for(lock, timeout, [&] { return m_handled >= n; });
}

void SimulatedTransmitter::ClearFrames() {
    std::lock_guard lock(m_recordMutex);
    m_frames.clear();
    m_replyEnds.clear();
    m_frameCount = 0;
}

std::vector<Clock::time_point> SimulatedTransmitter::ReplyEnds() const {
    std::lock_guard lock(m_recordMutex);
    return {m_replyEnds.begin(), m_replyEnds.end()};
}

std::size_t SimulatedTransmitter::SkippedBytes() const {
    std::lock_guard lock(m_recordMutex);
    return m_skipped;
}

}  // namespace corvexa::sim
