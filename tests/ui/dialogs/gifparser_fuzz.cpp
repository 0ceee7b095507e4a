// Feeds arbitrary bytes through the GIF walker the way the picture control
// does: count, rewind, cut every frame. Each cut frame must be a complete
// small GIF that walks again to exactly one graphic block.
#include <cstdint>
#include <cstdlib>

#include "ui/dialogs/gifparser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using corvexa::gif::CGifParser;
    CGifParser parser(data, size);
    const int count = parser.CountGraphicBlocks();
    parser.Rewind();
    corvexa::gif::FrameSlice frame;
    int cut = 0;
    while (parser.CutNextFrame(&frame)) {
        ++cut;
        CGifParser again(frame.image.data(), frame.image.size());
        if (again.CountGraphicBlocks() != 1 || frame.image.back() != 0x3B) std::abort();
        if (frame.descriptor != 0 &&
            again.KindAt(frame.descriptor) != corvexa::gif::BlockKind::Image)
            std::abort();
    }
    if (parser.IsGif() && cut != count) std::abort();
    return 0;
}
