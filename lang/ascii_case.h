#pragma once

// Case-insensitive compares of names the program itself defines (tags,
// locale codes, setting keys). They fold A-Z only: the C library's folding
// follows the character-type locale, which loading a language changes for
// the whole process (Turkish folds 'I' to dotless 'ı', so "IDS" would no
// longer match "ids").

#include <string_view>
#include <type_traits>

namespace corvexa::lang {

template <class Char>
constexpr Char AsciiLower(Char c) {
  return (c >= Char('A') && c <= Char('Z')) ? Char(c - Char('A') + Char('a')) : c;
}

template <class CharA, class CharB>
constexpr bool EqualsAsciiNoCase(std::basic_string_view<CharA> a,
                                 std::basic_string_view<CharB> b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    // Compared as code points: a byte above 0x7F is never equal to a
    // wide character of the same value by accident of sign.
    const auto x = static_cast<char32_t>(
        static_cast<std::make_unsigned_t<CharA>>(AsciiLower(a[i])));
    const auto y = static_cast<char32_t>(
        static_cast<std::make_unsigned_t<CharB>>(AsciiLower(b[i])));
    if (x != y) return false;
  }
  return true;
}

}  // namespace corvexa::lang
