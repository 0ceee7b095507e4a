#include <gtest/gtest.h>
#include <QTest>

#include "res/resources.h"
#include "tests/peak_memory.h"
#include "tests/ui/dialogs/gifbuilder.h"
#include "tests/ui/dialogs/picture_test_peer.h"
#include "tests/ui/framework/snapshot.h"
#include "ui/dialogs/dlgmaskprogress.h"
#include "ui/dialogs/pictureex.h"

namespace {

using giftest::Append;
using giftest::Bytes;

QByteArray ToQ(const Bytes& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

Bytes Trailer(Bytes b) {
    b.push_back(0x3B);
    return b;
}

// 8x8 screen: frame 0 red over all, frame 1 green 4x4 at (2,2) with the
// given disposal, both with a delay of 1 (100 ms).
Bytes TwoFrames(int disposal, int delay = 1) {
    Bytes gif = giftest::Header(8, 8);
    Append(gif, giftest::GraphicControl(delay, 0));
    Append(gif, giftest::ImageBlock(0, 0, 8, 8, 1));
    Append(gif, giftest::GraphicControl(delay, disposal));
    Append(gif, giftest::ImageBlock(2, 2, 4, 4, 2));
    return Trailer(gif);
}

TEST(Picture, BusyImageShowsStillAtItsOwnSize) {
    CPictureEx picture;
    picture.resize(200, 200);
    ASSERT_TRUE(picture.LoadFromResource(137, QStringLiteral("Gif")));
    EXPECT_FALSE(picture.IsAnimation());
    EXPECT_EQ(picture.PictureSize(), QSize(32, 32));
    EXPECT_EQ(picture.size(), QSize(32, 32));
    picture.StartDisplay();
    EXPECT_FALSE(picture.IsAnimating());
    const QImage shown = CPictureExTestPeer::Snapshot(picture);
    EXPECT_EQ(shown.pixelColor(0, 0), QColor(Qt::white));
    // Some pixel is a grey mark: equal channels, darker than white.
    bool grey = false;
    for (int y = 0; y < 32 && !grey; ++y)
        for (int x = 0; x < 32 && !grey; ++x) {
            const QColor c = shown.pixelColor(x, y);
            grey = c.red() == c.green() && c.green() == c.blue() && c.red() < 0xC0;
        }
    EXPECT_TRUE(grey);
}

TEST(Picture, LoadOutcomesByGraphicBlockCount) {
    Bytes none = giftest::Header(8, 8);
    Append(none, giftest::Comment("nothing to show"));
    none = Trailer(none);
    Bytes one = giftest::Header(8, 6);
    Append(one, giftest::ImageBlock(0, 0, 8, 6, 3));
    one = Trailer(one);
    Bytes two = TwoFrames(0);
    Bytes badVersion = one;
    badVersion[4] = '8';  // "GIF88a": still path, and the decoder refuses it

    struct Case {
        const char* name;
        const Bytes* data;
        bool loads;
        bool animation;
        QSize size;
        std::size_t frames;
    };
    const Case cases[] = {
        {"none", &none, false, false, QSize(0, 0), 0},
        {"one", &one, true, false, QSize(8, 6), 0},
        {"two", &two, true, true, QSize(8, 8), 2},
        {"88a", &badVersion, false, false, QSize(0, 0), 0},
    };
    for (const Case& c : cases) {
        CPictureEx picture;
        EXPECT_EQ(picture.LoadFromMemory(ToQ(*c.data)), c.loads) << c.name;
        EXPECT_EQ(picture.IsAnimation(), c.animation) << c.name;
        EXPECT_EQ(picture.HasSurface(), c.loads) << c.name;
        EXPECT_EQ(picture.PictureSize(), c.size) << c.name;
        EXPECT_EQ(picture.Frames().size(), c.frames) << c.name;
    }
}

TEST(Picture, FramesKeepTheirPlacementDelayAndDisposal) {
    CPictureEx picture;
    ASSERT_TRUE(picture.LoadFromMemory(ToQ(TwoFrames(2, 7))));
    const auto& f = picture.Frames();
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(QRect(f[1].left, f[1].top, f[1].width, f[1].height), QRect(2, 2, 4, 4));
    EXPECT_EQ(f[1].delay, 7u);
    EXPECT_EQ(f[1].disposal, 2);
}

TEST(Picture, UndecodableFrameIsLeftOutAndTheOtherShownStill) {
    Bytes gif = giftest::Header(8, 8);
    Append(gif, giftest::ImageBlock(0, 0, 8, 8, 1));
    // A frame of plain text only: counted and cut, but it holds no image.
    Append(gif, giftest::GraphicControl(1, 0));
    Append(gif, giftest::PlainText());
    gif = Trailer(gif);
    CPictureEx picture;
    ASSERT_TRUE(picture.LoadFromMemory(ToQ(gif)));
    ASSERT_EQ(picture.Frames().size(), 1u);
    EXPECT_FALSE(picture.IsAnimation());
    picture.StartDisplay();
    EXPECT_EQ(CPictureExTestPeer::Snapshot(picture).pixelColor(4, 4), QColor(Qt::red));
}

TEST(Picture, AnimationComposesFramesOnTheSurface) {
    CPictureEx picture;
    ASSERT_TRUE(picture.LoadFromMemory(ToQ(TwoFrames(0, 1000))));  // 10 s per frame
    picture.show();
    picture.StartDisplay();
    ASSERT_TRUE(picture.IsAnimating());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return CPictureExTestPeer::Snapshot(picture).pixelColor(0, 0) == Qt::red; }, 5000));
    picture.StopAnimation();  // cuts the 10 s wait short
    EXPECT_FALSE(picture.IsAnimating());
    EXPECT_EQ(picture.CurrentFrame(), 0u);
    const QImage frame0 = CPictureExTestPeer::Snapshot(picture);
    EXPECT_EQ(frame0.pixelColor(4, 4), QColor(Qt::red));
    SaveSnapshot(&picture, QStringLiteral("picture_frame0"));
}

TEST(Picture, DisposalTwoClearsTheFrameAreaAndTheLoopWrapsWithAClear) {
    CPictureEx picture;
    ASSERT_TRUE(picture.LoadFromMemory(ToQ(TwoFrames(2))));
    picture.StartDisplay();
    // After frame 1 (green, disposal 2) the loop clears the surface and
    // draws frame 0 again; in between frame 1's area is background.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return CPictureExTestPeer::Snapshot(picture).pixelColor(4, 4) == Qt::green; }, 5000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return CPictureExTestPeer::Snapshot(picture).pixelColor(4, 4) == Qt::red; }, 5000));
    picture.StopAnimation();
    EXPECT_NE(picture.Background(), QColor(Qt::white));  // the button face once prepared
}

TEST(Picture, StartDuringAnimationAndClearWhileRunningAreSafe) {
    CPictureEx picture;
    ASSERT_TRUE(picture.LoadFromMemory(ToQ(TwoFrames(3))));
    picture.show();
    for (int i = 0; i < 5; ++i) {
        picture.StartDisplay();  // stops the running thread first
        QTest::qWait(30);
    }
    EXPECT_TRUE(picture.IsAnimating());
    picture.Clear();  // stops, then frees the pictures
    EXPECT_FALSE(picture.IsAnimating());
    EXPECT_FALSE(picture.HasSurface());
    EXPECT_TRUE(picture.Frames().empty());
    EXPECT_EQ(picture.Background(), QColor(Qt::white));
    picture.StartDisplay();  // nothing to show
    EXPECT_FALSE(picture.IsAnimating());
}

TEST(Picture, DestroyedWhileAnimating) {
    auto* picture = new CPictureEx;
    ASSERT_TRUE(picture->LoadFromMemory(ToQ(TwoFrames(0))));
    picture->show();
    picture->StartDisplay();
    QTest::qWait(150);
    delete picture;  // joins the thread; queued repaints are dropped
    QCoreApplication::processEvents();
}

TEST(Picture, HugeClaimedScreenFailsInsteadOfAllocating) {
    Bytes gif = giftest::Header(65535, 65535);
    Append(gif, giftest::ImageBlock(0, 0, 2, 2, 1));
    Append(gif, giftest::ImageBlock(0, 0, 2, 2, 2));
    gif = Trailer(gif);
    CPictureEx picture;
    EXPECT_FALSE(picture.LoadFromMemory(ToQ(gif)));
    EXPECT_FALSE(picture.HasSurface());
}

// 2000 x 2000 screen, twenty 1 x 1 red frames: 486 bytes. Decoded on the
// whole screen each frame took 16 MB.
TEST(Picture, TinyFramesOfAHugeScreenKeepOnlyTheirRectangles) {
    Bytes gif = giftest::Header(2000, 2000);
    for (int i = 0; i < 20; ++i) {
        Append(gif, giftest::GraphicControl(1, 0));
        Append(gif, giftest::ImageBlock(100 * i, 50 * i, 1, 1, 1));
    }
    gif = Trailer(gif);
    CPictureEx picture;
    bool loaded = false;
    const std::optional<long> grewMiB =
        memtest::PeakGrowthMiB([&] { loaded = picture.LoadFromMemory(ToQ(gif)); });
    ASSERT_TRUE(loaded);
    ASSERT_EQ(picture.Frames().size(), 20u);
    for (const CPictureEx::FrameRecord& f : picture.Frames()) {
        EXPECT_EQ(f.picture.size(), QSize(1, 1));
        EXPECT_EQ(f.picture.pixelColor(0, 0), QColor(Qt::red));
    }
    // The surface (16 MB) is the one full-screen image left.
    if (grewMiB) {
        EXPECT_LT(*grewMiB, 60);
    }
    picture.StartDisplay();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return CPictureExTestPeer::Snapshot(picture).pixelColor(100, 50) == Qt::red; },
        5000));
    picture.StopAnimation();
}

// Nothing erases the control before it paints, so what the surface does
// not cover must be painted with the background, not left black.
TEST(Picture, PartsWithoutSurfaceShowTheBackground) {
    Bytes one = giftest::Header(8, 8);
    Append(one, giftest::ImageBlock(0, 0, 8, 8, 1));
    one = Trailer(one);
    for (const bool withSurface : {false, true}) {
        SCOPED_TRACE(withSurface);
        QWidget owner;
        owner.resize(60, 60);
        CPictureEx* picture = new CPictureEx(&owner);
        if (withSurface) {
            ASSERT_TRUE(picture->LoadFromMemory(ToQ(one)));
            picture->StartDisplay();
        }
        picture->resize(40, 40);  // larger than any surface here
        owner.show();
        const QImage shot = picture->grab().toImage();
        const QColor background = picture->palette().color(picture->backgroundRole());
        EXPECT_EQ(shot.pixelColor(30, 30), background);
        EXPECT_EQ(shot.pixelColor(4, 4), withSurface ? QColor(Qt::red) : background);
    }
}

TEST(Picture, FailedLoadLeavesNothingFromBefore) {
    CPictureEx picture;
    ASSERT_TRUE(picture.LoadFromResource(137, QStringLiteral("GIF")));
    EXPECT_FALSE(picture.LoadFromMemory(QByteArray("not an image")));
    EXPECT_FALSE(picture.HasSurface());
    EXPECT_FALSE(picture.LoadFromResource(999, QStringLiteral("GIF")));
}

TEST(MaskProgress, HiddenTopmostWithTheStillPicture) {
    QWidget owner;
    CDlgMaskProgress overlay;
    ASSERT_TRUE(overlay.Create(&owner));
    overlay.CenterWindow();
    EXPECT_FALSE(overlay.isVisible());
    EXPECT_TRUE(overlay.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(overlay.frameGeometry().size(), QSize(350, 222));
    CPictureEx* picture = overlay.Picture();
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(overlay.Item(CDlgMaskProgress::kPicture), picture);
    EXPECT_EQ(picture->geometry(), QRect(0, 22, 32, 32));
    EXPECT_TRUE(picture->HasSurface());
    EXPECT_FALSE(picture->IsAnimating());
    SaveSnapshot(&overlay, QStringLiteral("mask_progress"));
}

}  // namespace
