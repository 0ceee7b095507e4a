#include "ui/framework/postmessage.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <thread>

#include "ui/framework/dialog.h"

namespace {

constexpr UINT UM_PROBE = WM_USER + 7;

class Receiver : public CDialog {
public:
    Receiver() : CDialog(133) {
        MapMessage(UM_PROBE, [this](WPARAM w, LPARAM l) -> LRESULT {
            received.emplace_back(w, l);
            threads.push_back(QThread::currentThread());
            return 0;
        });
    }
    std::vector<std::pair<WPARAM, LPARAM>> received;
    std::vector<QThread*> threads;
};

TEST(PostMessage, ArrivesInOrderOnTheWindowThreadFromAnotherThread) {
    Receiver window;
    const HWND hwnd = window.GetSafeHwnd();
    std::thread poster([hwnd] {
        for (WPARAM i = 0; i < 100; ++i) {
            EXPECT_TRUE(PostMessage(hwnd, UM_PROBE, i, -static_cast<LPARAM>(i)));
        }
    });
    poster.join();
    EXPECT_TRUE(window.received.empty());  // nothing runs until the loop does
    QTRY_COMPARE_WITH_TIMEOUT(window.received.size(), std::size_t{100}, 5000);
    for (WPARAM i = 0; i < 100; ++i) {
        EXPECT_EQ(window.received[i], std::make_pair(i, -static_cast<LPARAM>(i)));
        EXPECT_EQ(window.threads[i], QThread::currentThread());
    }
}

TEST(PostMessage, ToADestroyedWindowDoesNothing) {
    auto* window = new Receiver;
    const HWND hwnd = window->GetSafeHwnd();
    const QObject* address = window;
    EXPECT_TRUE(PostMessage(hwnd, UM_PROBE, 1, 1));  // queued, then the window goes
    delete window;
    EXPECT_FALSE(PostMessage(hwnd, UM_PROBE, 2, 2));
    EXPECT_FALSE(PostMessage(address, UM_PROBE, 3, 3));
    EXPECT_FALSE(PostMessage(HWND{}, UM_PROBE, 4, 4));
    QCoreApplication::processEvents();  // the queued one must not reach freed memory
}

TEST(PostMessage, RacingDestructionNeverCrashes) {
    for (int round = 0; round < 20; ++round) {
        auto* window = new Receiver;
        const HWND hwnd = window->GetSafeHwnd();
        std::atomic<bool> stop{false};
        std::thread poster([&] {
            while (!stop) PostMessage(hwnd, UM_PROBE, 0, 0);
        });
        QCoreApplication::processEvents();
        delete window;
        QCoreApplication::processEvents();
        stop = true;
        poster.join();
        EXPECT_FALSE(PostMessage(hwnd, UM_PROBE, 0, 0));
    }
}

TEST(PostMessage, CloseAndCommandMessagesTakeTheDefaultRoute) {
    Receiver window;
    ASSERT_TRUE(window.Create(nullptr));
    window.show();
    ASSERT_TRUE(PostMessage(&window, WM_CLOSE, 0, 0));
    QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 5000);
    EXPECT_EQ(window.result(), IDCANCEL);
    window.show();
    ASSERT_TRUE(PostMessage(&window, WM_COMMAND, IDOK, 0));
    QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 5000);
    EXPECT_EQ(window.result(), IDOK);
}

TEST(PostMessage, HandlesAreNotReused) {
    HWND first;
    {
        Receiver a;
        first = a.GetSafeHwnd();
    }
    Receiver b;
    EXPECT_NE(b.GetSafeHwnd(), first);
    EXPECT_FALSE(PostMessage(first, UM_PROBE, 0, 0));
}

}  // namespace
