#include "sim/simulated_transmitter.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

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

}  // namespace

SimulatedTransmitter::SimulatedTransmitter() : SimulatedTransmitter(Options{}) {}

SimulatedTransmitter::SimulatedTransmitter(Options options)
    : epoch_(Clock::now()),
      wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      bank_(options.seed),
      pacing_(options.pacing),
      trace_(std::move(options.trace)),
      faults_(std::move(options.faults)) {
  if (!wake_.Valid()) {
    throw std::system_error(errno, std::generic_category(), "eventfd");
  }
  bank_.SetWander(options.wander);
  thread_ = std::thread([this] { Run(); });
}

SimulatedTransmitter::~SimulatedTransmitter() {
  const std::uint64_t one = 1;
  // An eventfd write of 1 cannot fail short of overflow; the thread sees it
  // at its next wait, and every wait after that returns at once.
  [[maybe_unused]] ssize_t n = ::write(wake_.Get(), &one, sizeof one);
  thread_.join();
}

void SimulatedTransmitter::Run() {
  std::uint8_t buffer[512];
  auto nextSweep = Clock::now();
  for (;;) {
    if (!WaitMaster(POLLIN, Clock::now() + kSweepPeriod)) {
      return;
    }
    if (Clock::now() >= nextSweep) {
      pty_.Sweep();
      nextSweep = Clock::now() + kSweepPeriod;
    }
    const ssize_t n = ::read(pty_.Master(), buffer, sizeof buffer);
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
    const auto arrived = heardAt_.value_or(Clock::now());
    heardAt_.reset();
    scanner_.Feed(buffer, static_cast<std::size_t>(n));
    while (auto request = scanner_.Next()) {
      Handle(*request, arrived);
    }
    std::lock_guard lock(recordMutex_);
    skipped_ = scanner_.SkippedBytes();
  }
}

void SimulatedTransmitter::Handle(const protocol::Frame& request, Clock::time_point arrived) {
  {
    std::lock_guard lock(recordMutex_);
    frames_.push_back({request, arrived});
    ++frameCount_;
    if (frames_.size() > kMaxRecorded) {
      frames_.pop_front();
    }
    skipped_ = scanner_.SkippedBytes();
  }
  recordChanged_.notify_all();
  if (trace_) {
    trace_(true, std::vector<std::uint8_t>(request.begin(), request.end()));
  }

  const FaultModes faults = Faults();
  ++requestCount_;
  const bool dropped = faults.dropEvery != 0 && requestCount_ % faults.dropEvery == 0;
  if (!dropped && !faults.silent) {
    std::vector<std::uint8_t> reply = BuildReply(request, bank_, faults.exceptionCode);
    if (!reply.empty()) {
      if (faults.corruptCrc) {
        CorruptCrc(reply);
      }
      FaultModes timing = faults;
      timing.replyDelay += ApplyReplyFaults({request.begin(), request.end()}, reply, faults);
      Send(reply, timing, arrived);
    }
  }
  {
    std::lock_guard lock(recordMutex_);
    ++handled_;
  }
  recordChanged_.notify_all();
}

void SimulatedTransmitter::Send(const std::vector<std::uint8_t>& reply, const FaultModes& faults,
                                Clock::time_point arrived) {
  // The pty hands the request over at once; on the wire its 8 bytes take
  // 8.3 ms, and a device cannot answer before its last byte is in.
  if (pacing_.load() && !SleepUntil(arrived + kByteTime * protocol::kFrameLength)) {
    return;
  }
  if (faults.replyDelay.count() > 0 && !SleepUntil(Clock::now() + faults.replyDelay)) {
    return;
  }
  if (faults.glue && heldReply_.empty()) {
    heldReply_ = reply;
    return;
  }
  // A reply held back goes out in front of this one, glue still on or not.
  std::vector<std::uint8_t> out = std::move(heldReply_);
  heldReply_.clear();
  out.insert(out.end(), reply.begin(), reply.end());
  if (trace_) {
    trace_(false, out);
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
    std::lock_guard lock(recordMutex_);
    replyEnds_.push_back(lastWriteAt_);
    if (replyEnds_.size() > kMaxRecorded) {
      replyEnds_.pop_front();
    }
  }
}

bool SimulatedTransmitter::SendPiece(const std::vector<std::uint8_t>& piece,
                                     std::chrono::milliseconds usbPacket) {
  const bool pacing = pacing_.load();
  // A byte is in the program's hands once its stop bit is through, so each
  // one is written at the end of its own byte time; an adapter holds them
  // until its next packet.
  const auto start = Clock::now();
  const auto due = [&](std::size_t i) {
    auto at = pacing ? start + std::chrono::duration_cast<Clock::duration>(kByteTime * (i + 1))
                     : start;
    if (usbPacket.count() > 0) {
      const auto periods = (at - epoch_ + usbPacket - Clock::duration(1)) / usbPacket;
      at = epoch_ + periods * std::chrono::duration_cast<Clock::duration>(usbPacket);
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
    lastWriteAt_ = Clock::now();
    if (!WriteAll(&piece[i], n)) {
      return false;
    }
    i += n;
  }
  return true;
}

bool SimulatedTransmitter::WriteAll(const std::uint8_t* data, std::size_t length) {
  while (length > 0) {
    const ssize_t n = ::write(pty_.Master(), data, length);
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
    pollfd fds[2] = {{wake_.Get(), POLLIN, 0}, {pty_.Master(), POLLIN, 0}};
    const timespec left = Remaining(deadline);
    const int rc = ::ppoll(fds, heardAt_ ? 1 : 2, &left, nullptr);
    if (rc > 0 && (fds[1].revents & POLLIN) != 0 && fds[0].revents == 0) {
      heardAt_ = Clock::now();
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
    pollfd fds[2] = {{wake_.Get(), POLLIN, 0}, {pty_.Master(), events, 0}};
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
  std::lock_guard lock(faultMutex_);
  return faults_;
}

void SimulatedTransmitter::SetFaults(const FaultModes& faults) {
  std::lock_guard lock(faultMutex_);
  faults_ = faults;
}

void SimulatedTransmitter::ClearFaults() { SetFaults(FaultModes{}); }

void SimulatedTransmitter::SetSilent(bool on) {
  std::lock_guard lock(faultMutex_);
  faults_.silent = on;
}

void SimulatedTransmitter::SetReplyDelay(std::chrono::milliseconds delay) {
  std::lock_guard lock(faultMutex_);
  faults_.replyDelay = delay;
}

void SimulatedTransmitter::SetSplitOffsets(std::vector<std::size_t> offsets,
                                           std::chrono::milliseconds pause) {
  std::lock_guard lock(faultMutex_);
  faults_.splitOffsets = std::move(offsets);
  faults_.splitPieces = 0;
  faults_.splitPause = pause;
}

void SimulatedTransmitter::SetSplitPieces(std::size_t pieces, std::chrono::milliseconds pause) {
  std::lock_guard lock(faultMutex_);
  faults_.splitOffsets.clear();
  faults_.splitPieces = pieces;
  faults_.splitPause = pause;
}

void SimulatedTransmitter::ClearSplit() { SetSplitPieces(0, std::chrono::milliseconds(0)); }

void SimulatedTransmitter::SetGlue(bool on) {
  std::lock_guard lock(faultMutex_);
  faults_.glue = on;
}

void SimulatedTransmitter::SetCorruptCrc(bool on) {
  std::lock_guard lock(faultMutex_);
  faults_.corruptCrc = on;
}

void SimulatedTransmitter::SetException(std::optional<std::uint8_t> code) {
  std::lock_guard lock(faultMutex_);
  faults_.exceptionCode = code;
}

void SimulatedTransmitter::SetDropEvery(unsigned n) {
  std::lock_guard lock(faultMutex_);
  faults_.dropEvery = n;
}

void SimulatedTransmitter::SetUsbPackets(std::chrono::milliseconds period) {
  std::lock_guard lock(faultMutex_);
  faults_.usbPacket = period;
}

void SimulatedTransmitter::SetPacing(bool on) { pacing_.store(on); }

std::optional<std::uint16_t> SimulatedTransmitter::Register(std::uint16_t reg) const {
  return bank_.Get(reg);
}

bool SimulatedTransmitter::SetRegister(std::uint16_t reg, std::uint16_t value) {
  return bank_.Set(reg, value);
}

void SimulatedTransmitter::SetWander(bool on) { bank_.SetWander(on); }

std::vector<ReceivedFrame> SimulatedTransmitter::Frames() const {
  std::lock_guard lock(recordMutex_);
  return {frames_.begin(), frames_.end()};
}

std::size_t SimulatedTransmitter::FrameCount() const {
  std::lock_guard lock(recordMutex_);
  return frameCount_;
}

bool SimulatedTransmitter::WaitForFrames(std::size_t n, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(recordMutex_);
  return recordChanged_.wait_for(lock, timeout, [&] { return frameCount_ >= n; });
}

std::size_t SimulatedTransmitter::RequestsHandled() const {
  std::lock_guard lock(recordMutex_);
  return handled_;
}

bool SimulatedTransmitter::WaitForHandled(std::size_t n, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(recordMutex_);
  return recordChanged_.wait_for(lock, timeout, [&] { return handled_ >= n; });
}

void SimulatedTransmitter::ClearFrames() {
  std::lock_guard lock(recordMutex_);
  frames_.clear();
  replyEnds_.clear();
  frameCount_ = 0;
}

std::vector<Clock::time_point> SimulatedTransmitter::ReplyEnds() const {
  std::lock_guard lock(recordMutex_);
  return {replyEnds_.begin(), replyEnds_.end()};
}

std::size_t SimulatedTransmitter::SkippedBytes() const {
  std::lock_guard lock(recordMutex_);
  return skipped_;
}

}  // namespace corvexa::sim
