#pragma once

// Packer of .lang containers. Layout, little-endian:
//   0  4  unpacked size of the XML document
//   4  1  reserved (written 0, ignored on reading)
//   5  5  LZMA properties: (pb * 5 + lp) * 9 + lc, dictionary size
//  10  .. raw LZMA1 stream without end marker
// Results are liblzma's codes: 0 success, non-zero failure.

#include <cstdint>

#include "lang/export.h"

class CORVEXA_LANG_API CMyLzmaPack {
public:
    static constexpr uint32_t kHeaderSize = 10;
    // Larger stored sizes are taken for damage: no language pack comes near.
    static constexpr uint32_t kMaxUnpackedSize = 64u << 20;

    // Packs input into a new container (release with delete[]). On failure
    // the out-parameters are untouched; empty input fails as there is no
    // room for a stream in twice zero bytes.
    static int Compress(uint8_t** out, uint32_t* outLength, const uint8_t* input,
                        uint32_t inputLength);

    // Unpacks a whole container. Once the header has been accepted *out
    // receives a new array of the stored size (release with delete[]),
    // whatever the outcome of decoding; *outLength is set on success only.
    // Streams with or without end marker are read.
    static int UnCompress(uint8_t** out, uint32_t* outLength, const uint8_t* input,
                          uint32_t inputLength);
};
