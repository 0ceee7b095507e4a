#pragma once

// The drawing thread of the picture control, kept apart from Qt so that
// its timing and its hand-over between threads can be tested (and run
// under ThreadSanitizer) with a fake canvas.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

namespace corvexa::gif {

// What the drawing thread does to the control's surface. Every call but
// FrameCount/Delay/Disposal comes from the drawing thread; the canvas
// guards its surface against painting itself.
class IFrameCanvas {
public:
    virtual ~IFrameCanvas() = default;
    virtual std::size_t FrameCount() const = 0;
    virtual bool HasPicture(std::size_t frame) const = 0;
    virtual std::uint32_t Delay(std::size_t frame) const = 0;
    virtual int Disposal(std::size_t frame) const = 0;
    // Keeps the area a disposal-3 frame is about to cover.
    virtual void SaveArea(std::size_t frame) = 0;
    virtual bool RenderFrame(std::size_t frame) = 0;
    // Asks for a repaint without erasing; must not block on the window thread.
    virtual void Invalidate() = 0;
    // Disposal 2 clears the frame's area, 3 restores the saved one.
    virtual void ApplyDisposal(std::size_t frame) = 0;
    // Clears the whole surface to the background (after the last frame).
    virtual void ClearSurface() = 0;
};

class CFrameAnimator {
public:
    explicit CFrameAnimator(IFrameCanvas& canvas) : m_canvas(canvas) {}
    ~CFrameAnimator() { Stop(); }
    CFrameAnimator(const CFrameAnimator&) = delete;
    CFrameAnimator& operator=(const CFrameAnimator&) = delete;

    // Starts the drawing thread at the current frame; a running one is
    // stopped first, so there is never more than one.
    bool Start();
    // Ends the drawing thread, cutting the current frame's wait short. The
    // thread is joined even past kStopWaitMs: what it draws with must not
    // be released while it still runs. Returns false if it took that long.
    bool Stop();
    bool Running() const { return m_thread.joinable(); }

    std::size_t CurrentFrame() const { return m_current; }
    void ResetFrame() { m_current = 0; }

    static constexpr int kStopWaitMs = 5000;

private:
    void Run();
    // Waits on the exit event; true when it was signalled.
    bool WaitExit(std::uint32_t ms);

    IFrameCanvas& m_canvas;
    std::thread m_thread;
    std::atomic<bool> m_exit{false};
    std::atomic<std::size_t> m_current{0};

    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_exitSignalled = false;  // the manual-reset exit event
    bool m_finished = false;
};

}  // namespace corvexa::gif
