#pragma once

// Wide text is UTF-32 where wchar_t has 32 bits and UTF-16 on Windows; file
// names, the terminal, JSON and the settings file are UTF-8 and the XML
// library speaks UTF-16. Invalid input (bad or cut-short UTF-8, overlong
// forms, lone surrogates, values above U+10FFFF) becomes U+FFFD, never a
// throw and never a wrong character.

#include <string>
#include <string_view>

namespace corvexa::base {
namespace wide_text_detail {

constexpr char32_t kReplacement = 0xFFFD;
constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

constexpr bool IsScalar(char32_t c) {
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

inline void AppendWide(std::wstring& out, char32_t c) {
    if (kWideIsUtf16 && c >= 0x10000) {
        c -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (c >> 10));
        out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
    } else {
        out += static_cast<wchar_t>(c);
    }
}

// The code point at text[i], advancing i past it.
inline char32_t NextWide(std::wstring_view text, size_t& i) {
    const char32_t c = static_cast<char32_t>(text[i]) & (kWideIsUtf16 ? 0xFFFF : ~0u);
    ++i;
    if (kWideIsUtf16 && c >= 0xD800 && c <= 0xDBFF && i < text.size()) {
        const char32_t low = static_cast<char32_t>(text[i]) & 0xFFFF;
        if (low >= 0xDC00 && low <= 0xDFFF) {
            ++i;
            return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    return IsScalar(c) ? c : kReplacement;
}

}  // namespace wide_text_detail

inline std::string ToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const char32_t c = wide_text_detail::NextWide(text, i);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

inline std::wstring FromUtf8(std::string_view text) {
    using namespace wide_text_detail;
    std::wstring out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        size_t extra = 0;
        char32_t c = 0;
        char32_t min = 0;
        if (lead < 0x80) {
            c = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1, c = lead & 0x1F, min = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, c = lead & 0x0F, min = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, c = lead & 0x07, min = 0x10000;
        } else {
            out += static_cast<wchar_t>(kReplacement);
            ++i;
            continue;
        }
        size_t j = 1;
        for (; j <= extra; ++j) {
            if (i + j >= text.size()) break;
            const unsigned char next = static_cast<unsigned char>(text[i + j]);
            if ((next & 0xC0) != 0x80) break;
            c = (c << 6) | (next & 0x3F);
        }
        // A bad sequence becomes one U+FFFD; the byte that ended it early
        // starts the next character.
        if (j <= extra || c < min || !IsScalar(c)) {
            out += static_cast<wchar_t>(kReplacement);
        } else {
            AppendWide(out, c);
        }
        i += j;
    }
    return out;
}

inline std::wstring FromUtf16(const char16_t* text) {
    using namespace wide_text_detail;
    std::wstring out;
    if (text == nullptr) return out;
    for (size_t i = 0; text[i] != 0; ++i) {
        const char32_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            AppendWide(out, 0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            out += static_cast<wchar_t>(kReplacement);
        } else {
            out += static_cast<wchar_t>(u);
        }
    }
    return out;
}

inline std::u16string ToUtf16(std::wstring_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t c = wide_text_detail::NextWide(text, i);
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

}  // namespace corvexa::base
