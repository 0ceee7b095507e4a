#include "ui/dialogs/frameanimator.h"
#include "ui/dialogs/gifparser.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using corvexa::gif::CFrameAnimator;

struct Frame {
    std::uint32_t delay;
    int disposal;
    bool picture = true;
};

// Records what the drawing thread does, in order, and lets a test wait
// for a number of steps.
class FakeCanvas : public corvexa::gif::IFrameCanvas {
public:
    explicit FakeCanvas(std::vector<Frame> frames) : m_frames(std::move(frames)) {}

    std::size_t FrameCount() const override { return m_frames.size(); }
    bool HasPicture(std::size_t i) const override { return m_frames[i].picture; }
    std::uint32_t Delay(std::size_t i) const override { return m_frames[i].delay; }
    int Disposal(std::size_t i) const override { return m_frames[i].disposal; }
    void SaveArea(std::size_t i) override { Log("save" + std::to_string(i)); }
    bool RenderFrame(std::size_t i) override {
        const int now = ++m_active;
        if (now > m_maxActive) m_maxActive = now;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        --m_active;
        m_inRender = true;
        if (m_renderStall.count() > 0) std::this_thread::sleep_for(m_renderStall);
        Log("draw" + std::to_string(i));
        m_inRender = false;
        return true;
    }
    void Invalidate() override {}
    void ApplyDisposal(std::size_t i) override { Log("dispose" + std::to_string(i)); }
    void ClearSurface() override { Log("clear"); }

    bool WaitFor(std::size_t steps, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        std::unique_lock<std::mutex> guard(m_lock);
        return m_changed.wait_for(guard, limit, [&] { return m_log.size() >= steps; });
    }
    std::vector<std::string> Log() const {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_log;
    }
    std::vector<std::thread::id> Threads() const {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_threads;
    }

    std::chrono::milliseconds m_renderStall{0};
    std::atomic<bool> m_inRender{false};
    std::atomic<int> m_active{0};
    std::atomic<int> m_maxActive{0};

private:
    void Log(std::string what) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_log.push_back(std::move(what));
        m_threads.push_back(std::this_thread::get_id());
        m_changed.notify_all();
    }

    std::vector<Frame> m_frames;
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::string> m_log;
    std::vector<std::thread::id> m_threads;
};

std::vector<std::string> Prefix(const std::vector<std::string>& v, std::size_t n) {
    return {v.begin(), v.begin() + std::min(n, v.size())};
}

TEST(FrameAnimator, DrawsDisposesAndClearsAfterTheLastFrameForEver) {
    FakeCanvas canvas({{0, 2}, {4, 3}, {1, 0, false}});
    CFrameAnimator animator(canvas);
    ASSERT_TRUE(animator.Start());
    ASSERT_TRUE(canvas.WaitFor(12));
    animator.Stop();
    const std::vector<std::string> expected = {
        "dispose0",                          // the current frame's disposal is due at start
        "draw0",    "dispose0",              // disposal 2
        "save1",    "draw1",    "dispose1",  // disposal 3 saves first
        "clear",                             // frame 2 has no picture; wrap-around
        "draw0",    "dispose0", "save1",    "draw1", "dispose1"};
    EXPECT_EQ(Prefix(canvas.Log(), expected.size()), expected);
}

TEST(FrameAnimator, StopCutsALongWaitShortAndResumesAtThatFrame) {
    FakeCanvas canvas({{0, 0}, {corvexa::gif::kNoDelay, 2}});
    CFrameAnimator animator(canvas);
    ASSERT_TRUE(animator.Start());
    ASSERT_TRUE(canvas.WaitFor(4));  // dispose0 draw0 dispose0 draw1, then 49 days' rest
    EXPECT_TRUE(animator.Stop());    // within the 5000 ms bound, not after the delay
    EXPECT_FALSE(animator.Running());
    EXPECT_EQ(animator.CurrentFrame(), 1u);
    EXPECT_EQ(canvas.Log().size(), 4u);  // the resting frame was not disposed on stop

    ASSERT_TRUE(animator.Start());
    ASSERT_TRUE(canvas.WaitFor(6));
    animator.Stop();
    EXPECT_EQ(Prefix(canvas.Log(), 6)[4], "dispose1");
    EXPECT_EQ(Prefix(canvas.Log(), 6)[5], "draw1");
}

TEST(FrameAnimator, StartWhileRunningReplacesTheThread) {
    FakeCanvas canvas({{0, 0}, {0, 0}});
    CFrameAnimator animator(canvas);
    ASSERT_TRUE(animator.Start());
    ASSERT_TRUE(canvas.WaitFor(2));
    ASSERT_TRUE(animator.Start());
    EXPECT_TRUE(animator.Running());
    const std::size_t before = canvas.Log().size();
    ASSERT_TRUE(canvas.WaitFor(before + 3));
    animator.Stop();
    // The second thread drew on, and never did two threads draw at once.
    EXPECT_GE(canvas.Log().size(), before + 3);
    EXPECT_EQ(canvas.m_maxActive, 1);
}

TEST(FrameAnimator, StopAndDestructionWithoutAThreadAreHarmless) {
    FakeCanvas canvas({{0, 0}, {0, 0}});
    {
        CFrameAnimator animator(canvas);
        EXPECT_TRUE(animator.Stop());
        EXPECT_TRUE(animator.Stop());
        ASSERT_TRUE(animator.Start());
    }  // destroyed while running: stops and joins
    FakeCanvas empty({});
    CFrameAnimator idle(empty);
    EXPECT_FALSE(idle.Start());
    EXPECT_FALSE(idle.Running());
}

TEST(FrameAnimator, StopWaitsPastTheBoundForABusyThread) {
    // A render that outlasts the 5000 ms bound: Stop reports it, but returns
    // only once the thread has ended, so nothing it uses is freed under it.
    FakeCanvas canvas({{0, 0}, {0, 0}});
    canvas.m_renderStall = std::chrono::milliseconds(6000);
    CFrameAnimator animator(canvas);
    ASSERT_TRUE(animator.Start());
    while (!canvas.m_inRender) std::this_thread::yield();
    EXPECT_FALSE(animator.Stop());
    EXPECT_FALSE(canvas.m_inRender);
    EXPECT_FALSE(animator.Running());
}

}  // namespace
