#include "lang/mylzmapack.h"

#include <lzma.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace {

// Level 0 with an 8 MiB dictionary, lc 3, lp 0, pb 2, 16 fast bytes.
// Encoded these are the properties bytes 5D 00 00 80 00.
constexpr uint32_t kDictSize = 0x800000;

void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t GetLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

struct StreamEnd {
    void operator()(lzma_stream* s) const { lzma_end(s); }
};

struct FreeOptions {
    void operator()(void* p) const { std::free(p); }
};

}  // namespace

int CMyLzmaPack::Compress(uint8_t** out, uint32_t* outLength, const uint8_t* input,
                          uint32_t inputLength) {
    lzma_options_lzma opt;
    if (lzma_lzma_preset(&opt, 0)) return LZMA_OPTIONS_ERROR;
    opt.dict_size = kDictSize;
    opt.lc = 3;
    opt.lp = 0;
    opt.pb = 2;
    opt.mode = LZMA_MODE_FAST;
    opt.nice_len = 16;
    opt.mf = LZMA_MF_HC4;
    opt.ext_flags = 0;  // no end marker: the header carries the size
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &opt}, {LZMA_VLI_UNKNOWN, nullptr}};

    // Twice the input is ample for any real pack, but a stream has a fixed
    // start-up cost of 5 bytes, so tiny inputs get a little more; empty input
    // still gets no room at all and fails.
    const size_t room = inputLength == 0 ? 0
                                         : std::max<size_t>(2 * static_cast<size_t>(inputLength),
                                                            static_cast<size_t>(inputLength) + 32);
    std::unique_ptr<uint8_t[]> work(new (std::nothrow) uint8_t[room]);
    if (!work) return LZMA_MEM_ERROR;
    size_t streamLength = 0;
    const lzma_ret rc = lzma_raw_buffer_encode(filters, nullptr, input, inputLength, work.get(),
                                               &streamLength, room);
    if (rc != LZMA_OK) return rc;
    // Incompressible input can outgrow 4 GiB only if it was nearly that big.
    if (streamLength > UINT32_MAX - kHeaderSize) return LZMA_BUF_ERROR;

    const uint32_t total = static_cast<uint32_t>(streamLength) + kHeaderSize;
    uint8_t* result = new (std::nothrow) uint8_t[total];
    if (result == nullptr) return LZMA_MEM_ERROR;
    PutLe32(result, inputLength);
    result[4] = 0;
    result[5] = static_cast<uint8_t>((opt.pb * 5 + opt.lp) * 9 + opt.lc);
    PutLe32(result + 6, opt.dict_size);
    std::memcpy(result + kHeaderSize, work.get(), streamLength);
    *out = result;
    *outLength = total;
    return 0;
}

int CMyLzmaPack::UnCompress(uint8_t** out, uint32_t* outLength, const uint8_t* input,
                            uint32_t inputLength) {
    // Never read a header that is not there, never allocate what a damaged
    // size field claims.
    if (input == nullptr || inputLength < kHeaderSize) return LZMA_DATA_ERROR;
    const uint32_t size = GetLe32(input);
    if (size > kMaxUnpackedSize) return LZMA_MEMLIMIT_ERROR;

    lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_ret rc = lzma_properties_decode(&filters[0], nullptr, input + 5, 5);
    if (rc != LZMA_OK) return rc;
    std::unique_ptr<void, FreeOptions> ownOptions(filters[0].options);
    auto* opt = static_cast<lzma_options_lzma*>(filters[0].options);
    // No match reaches further back than the output is long, so a larger
    // dictionary than that is never used; capping it keeps a damaged header
    // from making the decoder allocate up to 4 GiB.
    opt->dict_size =
        std::min<uint32_t>(opt->dict_size, std::max<uint32_t>(size, LZMA_DICT_SIZE_MIN));
    opt->ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
    lzma_set_ext_size(*opt, size);

    uint8_t* result = new (std::nothrow) uint8_t[size];
    if (result == nullptr) return LZMA_MEM_ERROR;
    *out = result;

    lzma_stream strm = LZMA_STREAM_INIT;
    rc = lzma_raw_decoder(&strm, filters);
    if (rc != LZMA_OK) return rc;
    std::unique_ptr<lzma_stream, StreamEnd> guard(&strm);
    strm.next_in = input + kHeaderSize;
    strm.avail_in = inputLength - kHeaderSize;
    strm.next_out = result;
    strm.avail_out = size;
    // The whole input and output are given at once; the decoder stops at the
    // stored size, or fails when the stream ends early or is damaged.
    do {
        rc = lzma_code(&strm, LZMA_FINISH);
    } while (rc == LZMA_OK);
    if (rc != LZMA_STREAM_END) return rc;
    *outLength = static_cast<uint32_t>(strm.total_out);
    return 0;
}
