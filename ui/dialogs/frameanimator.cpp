#include "ui/dialogs/frameanimator.h"

#include <chrono>
#include <cstdio>

#include "ui/dialogs/gifparser.h"

namespace corvexa::gif {

bool CFrameAnimator::Start() {
  Stop();
  if (canvas_.FrameCount() == 0) return false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    finished_ = false;
  }
  try {
    thread_ = std::thread(&CFrameAnimator::Run, this);
  } catch (const std::system_error&) {
    return false;  // the surface keeps what it shows
  }
  return true;
}

bool CFrameAnimator::Stop() {
  if (!thread_.joinable()) return true;
  exit_ = true;
  bool inTime = true;
  {
    std::unique_lock<std::mutex> guard(lock_);
    exitSignalled_ = true;
    wake_.notify_all();
    inTime = wake_.wait_for(guard, std::chrono::milliseconds(kStopWaitMs),
                            [this] { return finished_; });
  }
  if (!inTime) {
    std::fprintf(stderr, "picture: drawing thread still busy after %d ms, waiting on\n",
                 kStopWaitMs);
  }
  // The one place the thread is released, so it is released exactly once.
  thread_.join();
  std::lock_guard<std::mutex> guard(lock_);
  exitSignalled_ = false;
  exit_ = false;
  return inTime;
}

bool CFrameAnimator::WaitExit(std::uint32_t ms) {
  std::unique_lock<std::mutex> guard(lock_);
  return wake_.wait_for(guard, std::chrono::milliseconds(ms), [this] { return exitSignalled_; });
}

void CFrameAnimator::Run() {
  const std::size_t count = canvas_.FrameCount();
  // A stopped animation resumes at the frame it was stopped on; that
  // frame's disposal is still due.
  if (current_ >= count) current_ = 0;
  canvas_.ApplyDisposal(current_);
  while (!exit_) {
    const std::size_t i = current_;
    if (canvas_.HasPicture(i)) {
      if (canvas_.Disposal(i) == 3) canvas_.SaveArea(i);
      if (canvas_.RenderFrame(i)) canvas_.Invalidate();
      if (exit_) break;
      WaitExit(FrameWaitMs(canvas_.Delay(i)));
      if (exit_) break;
      canvas_.ApplyDisposal(i);
    }
    if (i + 1 >= count) {
      current_ = 0;
      canvas_.ClearSurface();
    } else {
      current_ = i + 1;
    }
  }
  std::lock_guard<std::mutex> guard(lock_);
  finished_ = true;
  wake_.notify_all();
}

}  // namespace corvexa::gif
