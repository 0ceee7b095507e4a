// Feeds arbitrary bytes to the container reader. (The packer's round trip
// is left to the unit tests: its 8 MiB encoder set-up would slow every run.)

#include <cstdint>
#include <cstdlib>

#include "lang/mylzmapack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > CMyLzmaPack::kMaxUnpackedSize) return 0;
    const uint32_t n = static_cast<uint32_t>(size);
    uint8_t* out = nullptr;
    uint32_t outLength = 0;
    const int rc = CMyLzmaPack::UnCompress(&out, &outLength, data, n);
    if (rc == 0 && n >= 4) {
        const uint32_t stored =
            static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
            (static_cast<uint32_t>(data[2]) << 16) | (static_cast<uint32_t>(data[3]) << 24);
        if (outLength > stored) std::abort();
    }
    delete[] out;
    return 0;
}
