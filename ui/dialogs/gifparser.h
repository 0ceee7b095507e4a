#pragma once

// GIF block walker of the picture control. It does not decode images: it
// counts the graphic blocks and cuts every frame out as a small GIF of its
// own (header, screen descriptor, global colour table, the frame's run of
// blocks, trailer), which the image decoder then reads like any GIF.
// No Qt here, so the parser is testable and fuzzable on its own.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvexa::gif {

enum class BlockKind {
    None,            // no data at the offset
    GraphicControl,  // 21 F9
    Application,     // 21 FF
    Comment,         // 21 FE
    PlainText,       // 21 01
    Image,           // 2C
    Trailer,         // 3B
    Unknown,
};

inline constexpr std::uint32_t kNoDelay = 0xFFFFFFFFu;

struct FrameSlice {
    std::vector<std::uint8_t> image;  // a complete GIF holding this frame only
    std::uint32_t delay = kNoDelay;   // hundredths of a second
    int disposal = 0;
    // From the image descriptor; all 0 for a frame that ends at a plain text
    // extension, which carries no usable placement.
    int left = 0, top = 0, width = 0, height = 0;
    // Offset of the image descriptor inside image; 0 for a plain text frame.
    std::size_t descriptor = 0;
};

class CGifParser {
public:
    CGifParser(const std::uint8_t* data, std::size_t size);

    // "GIF87a" or "GIF89a" with a complete screen descriptor and global
    // colour table. Anything else is not parsed as a GIF.
    bool IsGif() const { return m_gif; }
    int ScreenWidth() const { return m_screenWidth; }
    int ScreenHeight() const { return m_screenHeight; }
    std::size_t GlobalTableSize() const { return m_globalTable; }
    std::size_t Offset() const { return m_offset; }

    // Number of graphic blocks (image descriptors or plain text extensions
    // with what leads up to them) before the first failure.
    int CountGraphicBlocks();
    // Back to the first block after the global colour table.
    void Rewind() { m_offset = m_firstBlock; }
    // Cuts the frame at the read offset; false when there is none.
    bool CutNextFrame(FrameSlice* frame);

    BlockKind KindAt(std::size_t offset) const;
    // Length of the block at offset, or 0 when the block is invalid.
    std::size_t BlockLength(std::size_t offset) const;

private:
    std::size_t ChainLength(std::size_t offset) const;
    bool SkipBlock();
    bool SkipGraphicBlock();
    std::uint16_t U16(std::size_t offset) const;

    const std::uint8_t* m_data;
    std::size_t m_size;
    bool m_gif = false;
    int m_screenWidth = 0;
    int m_screenHeight = 0;
    std::size_t m_globalTable = 0;
    std::size_t m_firstBlock = 0;
    std::size_t m_offset = 0;
};

// Wait after a frame: delays below 5 hundredths mean 100 ms; otherwise
// delay x 10 ms in unsigned 32-bit arithmetic, so the all-ones "no delay"
// gives 4294967286 ms and the animation rests on that frame.
constexpr std::uint32_t FrameWaitMs(std::uint32_t delay) {
    return delay < 5 ? 100u : static_cast<std::uint32_t>(delay * 10u);
}

}  // namespace corvexa::gif
