#include "ui/dialogs/gifparser.h"

#include <gtest/gtest.h>

#include "tests/ui/dialogs/gifbuilder.h"

namespace {

using corvexa::gif::BlockKind;
using corvexa::gif::CGifParser;
using corvexa::gif::FrameSlice;
using giftest::Append;
using giftest::Bytes;

Bytes Trailer(Bytes b) {
    b.push_back(0x3B);
    return b;
}

TEST(GifParser, OnlyVersions87aAnd89aAreParsedAsGif) {
    struct Case {
        const char* version;
        bool gif;
    };
    for (const Case c :
         {Case{"87a", true}, Case{"89a", true}, Case{"88a", false}, Case{"89b", false}}) {
        Bytes b = giftest::Header(4, 4, c.version);
        Append(b, giftest::ImageBlock(0, 0, 4, 4, 1));
        CGifParser p(b.data(), b.size());
        EXPECT_EQ(p.IsGif(), c.gif) << c.version;
    }
}

TEST(GifParser, HeaderCutShortIsNoGif) {
    // A "GIF89a" without its screen descriptor or colour table must not be
    // read past its end.
    const Bytes full = giftest::Header(4, 4);
    for (std::size_t n : {std::size_t{6}, std::size_t{12}, std::size_t{13}, full.size() - 1}) {
        Bytes cut(full.begin(), full.begin() + n);
        CGifParser p(cut.data(), cut.size());
        EXPECT_FALSE(p.IsGif()) << n;
        EXPECT_EQ(p.CountGraphicBlocks(), 0) << n;
    }
    CGifParser whole(full.data(), full.size());
    EXPECT_TRUE(whole.IsGif());
    EXPECT_EQ(whole.GlobalTableSize(), 12u);
    EXPECT_EQ(whole.ScreenWidth(), 4);
}

TEST(GifParser, BlockLengthsFollowTheBlockTable) {
    struct Case {
        Bytes block;
        BlockKind kind;
        std::size_t length;
    };
    Bytes withLocalTable = {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0x80};  // M = 0: 6 table bytes
    Append(withLocalTable, Bytes(6, 0));
    Append(withLocalTable, {2, 1, 0x44, 0});
    const Case cases[] = {
        {giftest::GraphicControl(10, 2), BlockKind::GraphicControl, 8},
        {giftest::Comment("abc"), BlockKind::Comment, 2 + 4 + 1},
        {giftest::Application(), BlockKind::Application, 14 + 5},
        {giftest::PlainText(), BlockKind::PlainText, 15 + 4},
        {giftest::ImageBlock(0, 0, 2, 2, 1), BlockKind::Image, 0},  // computed below
        {withLocalTable, BlockKind::Image, withLocalTable.size()},
        {{0x3B}, BlockKind::Trailer, 1},
        {{0x21, 0x77, 0}, BlockKind::Unknown, 0},
        {{0x00}, BlockKind::Unknown, 0},
    };
    for (const Case& c : cases) {
        Bytes b = giftest::Header(2, 2);
        const std::size_t at = b.size();
        Append(b, c.block);
        CGifParser p(b.data(), b.size());
        EXPECT_EQ(p.KindAt(at), c.kind) << int(c.block[0]);
        const std::size_t expected =
            c.length == 0 && c.kind == BlockKind::Image ? c.block.size() : c.length;
        EXPECT_EQ(p.BlockLength(at), expected) << int(c.block[0]);
    }
}

TEST(GifParser, CountsGraphicBlocks) {
    Bytes none = Trailer(giftest::Header(4, 4));
    Append(none, giftest::Comment("x"));
    Bytes one = giftest::Header(4, 4);
    Append(one, giftest::Application());
    Append(one, giftest::GraphicControl(5, 0));
    Append(one, giftest::ImageBlock(0, 0, 4, 4, 1));
    one = Trailer(one);
    Bytes three = giftest::Header(4, 4);
    Append(three, giftest::ImageBlock(0, 0, 4, 4, 1));
    Append(three, giftest::GraphicControl(5, 0));
    Append(three, giftest::Comment("between"));
    Append(three, giftest::ImageBlock(0, 0, 2, 2, 2));
    Append(three, giftest::PlainText());
    three = Trailer(three);
    struct Case {
        const Bytes* gif;
        int count;
    };
    for (const Case& c : {Case{&none, 0}, Case{&one, 1}, Case{&three, 3}}) {
        CGifParser p(c.gif->data(), c.gif->size());
        EXPECT_EQ(p.CountGraphicBlocks(), c.count);
    }
}

TEST(GifParser, FrameImageCarriesHeaderRunAndTrailerExactly) {
    const Bytes head = giftest::Header(8, 8);
    Bytes gif = head;
    Append(gif, giftest::Application());  // skipped, not part of any frame
    Bytes run = giftest::GraphicControl(7, 3);
    Append(run, giftest::Comment("kept"));
    Append(run, giftest::ImageBlock(2, 3, 4, 5, 2));
    Append(gif, run);
    Append(gif, giftest::ImageBlock(0, 0, 8, 8, 1));
    gif = Trailer(gif);

    CGifParser p(gif.data(), gif.size());
    FrameSlice f;
    ASSERT_TRUE(p.CutNextFrame(&f));
    Bytes expected = head;
    Append(expected, run);
    expected.push_back(0x3B);
    EXPECT_EQ(f.image, expected);
    EXPECT_EQ(f.delay, 7u);
    EXPECT_EQ(f.disposal, 3);
    EXPECT_EQ(std::vector<int>({f.left, f.top, f.width, f.height}), std::vector<int>({2, 3, 4, 5}));
    EXPECT_EQ(f.descriptor, head.size() + run.size() - giftest::ImageBlock(2, 3, 4, 5, 2).size());

    ASSERT_TRUE(p.CutNextFrame(&f));  // no graphic control: rests for ever
    EXPECT_EQ(f.delay, corvexa::gif::kNoDelay);
    EXPECT_EQ(f.disposal, 0);
    EXPECT_FALSE(p.CutNextFrame(&f));  // the trailer
}

TEST(GifParser, FrameEndingAtPlainTextHasNoPlacement) {
    Bytes gif = giftest::Header(8, 8);
    Append(gif, giftest::GraphicControl(1, 2));
    Append(gif, giftest::PlainText());
    gif = Trailer(gif);
    CGifParser p(gif.data(), gif.size());
    FrameSlice f;
    ASSERT_TRUE(p.CutNextFrame(&f));
    EXPECT_EQ(std::vector<int>({f.left, f.top, f.width, f.height}), std::vector<int>({0, 0, 0, 0}));
}

TEST(GifParser, ChainRunningPastTheEndKeepsTheFramesBeforeIt) {
    Bytes gif = giftest::Header(4, 4);
    Append(gif, giftest::ImageBlock(0, 0, 4, 4, 1));
    Append(gif, giftest::ImageBlock(0, 0, 4, 4, 2));
    Bytes third = giftest::ImageBlock(0, 0, 4, 4, 3);
    third[11] = 200;  // first sub-block claims more bytes than remain
    Append(gif, third);
    CGifParser p(gif.data(), gif.size());
    EXPECT_EQ(p.CountGraphicBlocks(), 2);
    p.Rewind();
    FrameSlice f;
    int cut = 0;
    while (p.CutNextFrame(&f)) ++cut;
    EXPECT_EQ(cut, 2);
}

TEST(GifParser, FrameWaits) {
    struct Case {
        std::uint32_t delay, ms;
    };
    for (const Case c : {Case{0, 100}, Case{4, 100}, Case{5, 50}, Case{100, 1000},
                         Case{0xFFFFFFFFu, 4294967286u}}) {
        EXPECT_EQ(corvexa::gif::FrameWaitMs(c.delay), c.ms) << c.delay;
    }
}

TEST(GifParser, ArbitraryPrefixesOfAGifNeverReadOutside) {
    // Every truncation of a valid file; ASan catches a read past the copy.
    Bytes gif = giftest::Header(4, 4);
    Append(gif, giftest::Application());
    Append(gif, giftest::GraphicControl(3, 1));
    Append(gif, giftest::Comment("c"));
    Append(gif, giftest::ImageBlock(1, 1, 2, 2, 1));
    const std::size_t firstEnd = gif.size();
    Append(gif, giftest::PlainText());
    const std::size_t secondEnd = gif.size();
    gif = Trailer(gif);
    for (std::size_t n = 0; n <= gif.size(); ++n) {
        Bytes cut(gif.begin(), gif.begin() + n);
        CGifParser p(cut.data(), cut.size());
        const int count = p.CountGraphicBlocks();
        p.Rewind();
        FrameSlice f;
        int frames = 0;
        while (p.CutNextFrame(&f)) ++frames;
        EXPECT_EQ(frames, count) << n;
        EXPECT_EQ(count, n >= secondEnd ? 2 : n >= firstEnd ? 1 : 0) << n;
    }
}

}  // namespace
