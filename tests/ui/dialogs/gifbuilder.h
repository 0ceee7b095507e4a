#pragma once

// Builds small real GIF files for the tests: a 4-colour global table
// (0 black, 1 red, 2 green, 3 blue) and frames filled with one colour,
// LZW-coded with a clear code every two pixels so the codes stay 3 bits.

#include <cstdint>
#include <string>
#include <vector>

namespace giftest {

using Bytes = std::vector<std::uint8_t>;

// Byte by byte on purpose: g++ 12 at -O2 takes a range insert into a short
// vector for an out-of-bounds copy (-Warray-bounds, a known false alarm).
template <class It>
inline void AppendRange(Bytes& b, It first, It last) {
    for (; first != last; ++first) b.push_back(static_cast<std::uint8_t>(*first));
}

inline void Put16(Bytes& b, int v) {
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
    b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

inline Bytes Header(int w, int h, const char* version = "89a") {
    Bytes b = {'G', 'I', 'F'};
    AppendRange(b, version, version + 3);
    Put16(b, w);
    Put16(b, h);
    b.push_back(0x81);  // global table, 2^(1+1) = 4 colours
    b.push_back(0);
    b.push_back(0);
    const std::uint8_t table[12] = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
    AppendRange(b, table, table + 12);
    return b;
}

inline Bytes GraphicControl(int delay, int disposal) {
    Bytes b = {0x21, 0xF9, 4, static_cast<std::uint8_t>((disposal & 7) << 2)};
    Put16(b, delay);
    b.push_back(0);
    b.push_back(0);
    return b;
}

inline Bytes Comment(const std::string& text) {
    Bytes b = {0x21, 0xFE, static_cast<std::uint8_t>(text.size())};
    AppendRange(b, text.begin(), text.end());
    b.push_back(0);
    return b;
}

inline Bytes Application() {
    Bytes b = {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    const std::uint8_t loop[] = {3, 1, 0, 0, 0};
    AppendRange(b, loop, loop + 5);
    return b;
}

inline Bytes ImageData(int pixels, int colour) {
    Bytes codes;
    std::uint32_t acc = 0;
    int bits = 0;
    auto putCode = [&](int code) {
        acc |= static_cast<std::uint32_t>(code) << bits;
        bits += 3;
        while (bits >= 8) {
            codes.push_back(static_cast<std::uint8_t>(acc & 0xFF));
            acc >>= 8;
            bits -= 8;
        }
    };
    for (int i = 0; i < pixels; ++i) {
        if (i % 2 == 0) putCode(4);  // clear
        putCode(colour);
    }
    putCode(5);  // end of information
    if (bits > 0) codes.push_back(static_cast<std::uint8_t>(acc & 0xFF));
    Bytes b = {2};  // LZW minimum code size
    for (std::size_t at = 0; at < codes.size(); at += 255) {
        const std::size_t n = std::min<std::size_t>(255, codes.size() - at);
        b.push_back(static_cast<std::uint8_t>(n));
        AppendRange(b, codes.begin() + at, codes.begin() + at + n);
    }
    b.push_back(0);
    return b;
}

inline Bytes ImageBlock(int left, int top, int w, int h, int colour) {
    Bytes b = {0x2C};
    Put16(b, left);
    Put16(b, top);
    Put16(b, w);
    Put16(b, h);
    b.push_back(0);
    Bytes data = ImageData(w * h, colour);
    AppendRange(b, data.begin(), data.end());
    return b;
}

inline Bytes PlainText() {
    Bytes b = {0x21, 0x01, 12, 0, 0, 0, 0, 8, 0, 8, 0, 8, 8, 1, 0};
    const std::uint8_t text[] = {2, 'h', 'i', 0};
    AppendRange(b, text, text + 4);
    return b;
}

inline void Append(Bytes& to, const Bytes& what) {
    AppendRange(to, what.begin(), what.end());
}

}  // namespace giftest
