#include "ui/dialogs/gifparser.h"

#include <cstring>

namespace corvexa::gif {

namespace {
constexpr std::size_t kScreenEnd = 13;  // 6 header + 7 screen descriptor
}

CGifParser::CGifParser(const std::uint8_t* data, std::size_t size)
    : m_data(data), m_size(data ? size : 0) {
    if (m_size < 6 || std::memcmp(m_data, "GIF", 3) != 0 ||
        (std::memcmp(m_data + 3, "87a", 3) != 0 && std::memcmp(m_data + 3, "89a", 3) != 0)) {
        return;
    }
    // A header without its screen descriptor and colour table would make
    // every later read run off the data; such input is no GIF to us.
    if (m_size < kScreenEnd) return;
    m_screenWidth = U16(6);
    m_screenHeight = U16(8);
    const std::uint8_t packed = m_data[10];
    if (packed & 0x80) m_globalTable = 3u << ((packed & 0x07) + 1);
    if (kScreenEnd + m_globalTable > m_size) return;
    m_firstBlock = m_offset = kScreenEnd + m_globalTable;
    m_gif = true;
}

std::uint16_t CGifParser::U16(std::size_t offset) const {
    return static_cast<std::uint16_t>(m_data[offset] | (m_data[offset + 1] << 8));
}

BlockKind CGifParser::KindAt(std::size_t offset) const {
    if (offset >= m_size) return BlockKind::None;
    switch (m_data[offset]) {
        case 0x2C:
            return BlockKind::Image;
        case 0x3B:
            return BlockKind::Trailer;
        case 0x21:
            if (offset + 1 >= m_size) return BlockKind::Unknown;
            switch (m_data[offset + 1]) {
                case 0xF9:
                    return BlockKind::GraphicControl;
                case 0xFF:
                    return BlockKind::Application;
                case 0xFE:
                    return BlockKind::Comment;
                case 0x01:
                    return BlockKind::PlainText;
                default:
                    return BlockKind::Unknown;
            }
        default:
            return BlockKind::Unknown;
    }
}

// Sub-block chain: size byte s, s bytes, ..., a 0 size byte. 0 when the
// chain runs past the end of the data.
std::size_t CGifParser::ChainLength(std::size_t offset) const {
    std::size_t length = 0;
    for (;;) {
        if (offset >= m_size) return 0;
        const std::size_t s = m_data[offset];
        length += s + 1;
        offset += s + 1;
        if (s == 0) return length;
    }
}

std::size_t CGifParser::BlockLength(std::size_t offset) const {
    std::size_t fixed = 0;
    switch (KindAt(offset)) {
        case BlockKind::GraphicControl:
            return 8;
        case BlockKind::Trailer:
            return 1;
        case BlockKind::Application:
            fixed = 14;
            break;
        case BlockKind::Comment:
            fixed = 2;
            break;
        case BlockKind::PlainText:
            fixed = 15;
            break;
        case BlockKind::Image: {
            if (offset + 9 >= m_size) return 0;
            const std::uint8_t packed = m_data[offset + 9];
            fixed = 11 + ((packed & 0x80) ? (3u << ((packed & 0x07) + 1)) : 0u);
            break;
        }
        default:
            return 0;
    }
    const std::size_t chain = ChainLength(offset + fixed);
    return chain == 0 ? 0 : fixed + chain;
}

bool CGifParser::SkipBlock() {
    if (m_offset >= m_size) return false;
    const std::size_t length = BlockLength(m_offset);
    if (length == 0 || m_offset + length > m_size) return false;
    m_offset += length;
    return true;
}

bool CGifParser::SkipGraphicBlock() {
    for (;;) {
        switch (KindAt(m_offset)) {
            case BlockKind::Application:
            case BlockKind::Comment:
                if (!SkipBlock()) return false;
                continue;
            case BlockKind::Image:
            case BlockKind::PlainText:
                return SkipBlock();
            case BlockKind::GraphicControl:
                if (!SkipBlock()) return false;
                for (;;) {
                    const BlockKind k = KindAt(m_offset);
                    if (k == BlockKind::Image || k == BlockKind::PlainText) return SkipBlock();
                    if (k == BlockKind::Trailer || k == BlockKind::Unknown || k == BlockKind::None)
                        return false;
                    if (!SkipBlock()) return false;
                }
            default:
                return false;
        }
    }
}

int CGifParser::CountGraphicBlocks() {
    if (!m_gif) return 0;
    Rewind();
    int count = 0;
    while (SkipGraphicBlock()) ++count;
    return count;
}

bool CGifParser::CutNextFrame(FrameSlice* frame) {
    if (!m_gif) return false;
    FrameSlice out;
    BlockKind kind = KindAt(m_offset);
    while (kind == BlockKind::Application || kind == BlockKind::Comment) {
        if (!SkipBlock()) return false;
        kind = KindAt(m_offset);
    }
    if (kind != BlockKind::GraphicControl && kind != BlockKind::Image &&
        kind != BlockKind::PlainText) {
        return false;
    }
    const std::size_t start = m_offset;
    if (kind == BlockKind::GraphicControl) {
        if (m_offset + 8 > m_size) return false;
        out.disposal = (m_data[m_offset + 3] >> 2) & 0x07;  // packed byte, bits 2-4
        out.delay = U16(m_offset + 4);
        if (!SkipBlock()) return false;
        for (;;) {
            kind = KindAt(m_offset);
            if (kind == BlockKind::Image || kind == BlockKind::PlainText) break;
            if (kind == BlockKind::Trailer || kind == BlockKind::Unknown ||
                kind == BlockKind::None) {
                return false;
            }
            if (!SkipBlock()) return false;
        }
    }
    const std::size_t last = m_offset;
    if (!SkipBlock()) return false;  // also proves the descriptor is complete
    if (kind == BlockKind::Image) {
        out.left = U16(last + 1);
        out.top = U16(last + 3);
        out.width = U16(last + 5);
        out.height = U16(last + 7);
        out.descriptor = m_firstBlock + (last - start);
    }
    const std::size_t n = m_offset - start;
    out.image.reserve(m_firstBlock + n + 1);
    out.image.assign(m_data, m_data + m_firstBlock);
    out.image.insert(out.image.end(), m_data + start, m_data + start + n);
    out.image.push_back(0x3B);
    *frame = std::move(out);
    return true;
}

}  // namespace corvexa::gif
