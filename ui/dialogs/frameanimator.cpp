#include "ui/dialogs/frameanimator.h"

#include <chrono>
#include <cstdio>

#include "ui/dialogs/gifparser.h"

namespace corvexa::gif {

bool CFrameAnimator::Start() {
    Stop();
    if (m_canvas.FrameCount() == 0) return false;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_finished = false;
    }
    try {
        m_thread = std::thread(&CFrameAnimator::Run, this);
    } catch (const std::system_error&) {
        return false;  // the surface keeps what it shows
    }
    return true;
}

bool CFrameAnimator::Stop() {
    if (!m_thread.joinable()) return true;
    m_exit = true;
    bool inTime = true;
    {
        std::unique_lock<std::mutex> guard(m_lock);
        m_exitSignalled = true;
        m_wake.notify_all();
        inTime = m_wake.wait_for(guard, std::chrono::milliseconds(kStopWaitMs),
                                 [this] { return m_finished; });
    }
    if (!inTime) {
        std::fprintf(stderr, "picture: drawing thread still busy after %d ms, waiting on\n",
                     kStopWaitMs);
    }
    // The one place the thread is released, so it is released exactly once.
    m_thread.join();
    std::lock_guard<std::mutex> guard(m_lock);
    m_exitSignalled = false;
    m_exit = false;
    return inTime;
}

bool CFrameAnimator::WaitExit(std::uint32_t ms) {
    std::unique_lock<std::mutex> guard(m_lock);
    return m_wake.wait_for(guard, std::chrono::milliseconds(ms),
                           [this] { return m_exitSignalled; });
}

void CFrameAnimator::Run() {
    const std::size_t count = m_canvas.FrameCount();
    // A stopped animation resumes at the frame it was stopped on; that
    // frame's disposal is still due.
    if (m_current >= count) m_current = 0;
    m_canvas.ApplyDisposal(m_current);
    while (!m_exit) {
        const std::size_t i = m_current;
        if (m_canvas.HasPicture(i)) {
            if (m_canvas.Disposal(i) == 3) m_canvas.SaveArea(i);
            if (m_canvas.RenderFrame(i)) m_canvas.Invalidate();
            if (m_exit) break;
            WaitExit(FrameWaitMs(m_canvas.Delay(i)));
            if (m_exit) break;
            m_canvas.ApplyDisposal(i);
        }
        if (i + 1 >= count) {
            m_current = 0;
            m_canvas.ClearSurface();
        } else {
            m_current = i + 1;
        }
    }
    std::lock_guard<std::mutex> guard(m_lock);
    m_finished = true;
    m_wake.notify_all();
}

}  // namespace corvexa::gif
