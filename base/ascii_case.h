#pragma once

// Case-insensitive compares of names the program itself defines (tags,
// locale codes, setting keys, command words). They fold A-Z only: the C
// library's folding follows the character-type locale, which loading a
// language changes for the whole process (Turkish folds 'I' to dotless 'ı',
// so "IDS" would no longer match "ids").

#include <string>
#include <string_view>
#include <type_traits>

namespace corvexa::base {

template <class Char>
constexpr Char AsciiLower(Char c) {
    return (c >= Char('A') && c <= Char('Z')) ? Char(c - Char('A') + Char('a')) : c;
}

template <class Char>
std::basic_string<Char> AsciiLower(std::basic_string<Char> text) {
    for (Char& c : text) c = AsciiLower(c);
    return text;
}

namespace ascii_case_detail {

template <class Char>
constexpr std::basic_string_view<Char> View(const Char* text) {
    return text;
}
template <class Char, class Traits>
constexpr std::basic_string_view<Char> View(std::basic_string_view<Char, Traits> text) {
    return text;
}
template <class Char, class Traits, class Alloc>
std::basic_string_view<Char> View(const std::basic_string<Char, Traits, Alloc>& text) {
    return text;
}

template <class CharA, class CharB>
constexpr bool Equals(std::basic_string_view<CharA> a, std::basic_string_view<CharB> b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        // Compared as code points: a byte above 0x7F is never equal to a
        // wide character of the same value by accident of sign, and a wide
        // character is never cut down to its low byte.
        const auto x =
            static_cast<char32_t>(static_cast<std::make_unsigned_t<CharA>>(AsciiLower(a[i])));
        const auto y =
            static_cast<char32_t>(static_cast<std::make_unsigned_t<CharB>>(AsciiLower(b[i])));
        if (x != y) return false;
    }
    return true;
}

}  // namespace ascii_case_detail

// Takes strings, string views and C strings of any character type.
template <class TextA, class TextB>
constexpr bool EqualsAsciiNoCase(const TextA& a, const TextB& b) {
    return ascii_case_detail::Equals(ascii_case_detail::View(a), ascii_case_detail::View(b));
}

template <class Text, class Suffix>
constexpr bool EndsWithAsciiNoCase(const Text& text, const Suffix& suffix) {
    const auto whole = ascii_case_detail::View(text);
    const auto end = ascii_case_detail::View(suffix);
    return whole.size() >= end.size() &&
           ascii_case_detail::Equals(whole.substr(whole.size() - end.size()), end);
}

}  // namespace corvexa::base
