// Prints: load time of an animated GIF (all frames cut and decoded once),
// the cost of one paint-sized surface copy, and how many posted window
// messages per second cross from a worker thread to the window thread.
#include <QApplication>
#include <QElapsedTimer>
#include <atomic>
#include <cstdio>
#include <optional>
#include <thread>

#include "tests/peak_memory.h"
#include "tests/ui/dialogs/gifbuilder.h"
#include "tests/ui/dialogs/picture_test_peer.h"
#include "ui/dialogs/pictureex.h"
#include "ui/framework/dialog.h"
#include "ui/framework/postmessage.h"

namespace {

giftest::Bytes AnimatedGif(int frames, int side) {
    giftest::Bytes gif = giftest::Header(side, side);
    for (int i = 0; i < frames; ++i) {
        giftest::Append(gif, giftest::GraphicControl(5, i % 4));
        giftest::Append(gif, giftest::ImageBlock(0, 0, side, side, 1 + i % 3));
    }
    gif.push_back(0x3B);
    return gif;
}

class Counter : public CDialog {
public:
    Counter() : CDialog(133) {
        MapMessage(WM_USER + 1, [this](WPARAM, LPARAM) -> LRESULT {
            ++count;
            return 0;
        });
    }
    long count = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    for (int side : {32, 128}) {
        const giftest::Bytes gif = AnimatedGif(50, side);
        CPictureEx picture;
        QElapsedTimer t;
        t.start();
        const int rounds = 20;
        for (int i = 0; i < rounds; ++i) picture.LoadFromMemory(gif.data(), gif.size());
        std::printf("load 50-frame %dx%d GIF (%zu bytes): %.2f ms\n", side, side, gif.size(),
                    t.nsecsElapsed() / 1e6 / rounds);
        t.start();
        const int copies = 2000;
        for (int i = 0; i < copies; ++i) (void)CPictureExTestPeer::Snapshot(picture);
        std::printf("surface copy %dx%d: %.2f us\n", side, side, t.nsecsElapsed() / 1e3 / copies);
    }

    // Tiny frames on a huge screen: 1 x 1 frames of a 2000 x 2000 GIF.
    for (int frames : {20, 200}) {
        giftest::Bytes gif = giftest::Header(2000, 2000);
        for (int i = 0; i < frames; ++i) {
            giftest::Append(gif, giftest::GraphicControl(1, 0));
            giftest::Append(gif, giftest::ImageBlock(i, i, 1, 1, 1));
        }
        gif.push_back(0x3B);
        CPictureEx picture;
        QElapsedTimer t;
        t.start();
        bool loaded = false;
        const std::optional<long> grew = memtest::PeakGrowthMiB(
            [&] { loaded = picture.LoadFromMemory(gif.data(), gif.size()); });
        std::printf(
            "load %d 1x1 frames of a 2000x2000 GIF (%zu bytes): %s, %.1f ms, %ld MiB peak growth\n",
            frames, gif.size(), loaded ? "loaded" : "refused", t.nsecsElapsed() / 1e6,
            grew.value_or(-1));
    }

    Counter window;
    const HWND hwnd = window.GetSafeHwnd();
    const long total = 200000;
    QElapsedTimer t;
    t.start();
    std::thread poster([hwnd] {
        for (long i = 0; i < total; ++i) PostMessage(hwnd, WM_USER + 1, 0, 0);
    });
    while (window.count < total) QCoreApplication::processEvents();
    poster.join();
    std::printf("posted messages delivered: %.0f per second\n", total / (t.nsecsElapsed() / 1e9));
    return 0;
}
