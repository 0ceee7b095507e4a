#include <gtest/gtest.h>

#include "lang/wtext.h"

using corvexa::lang::FromUtf16;
using corvexa::lang::FromUtf8;
using corvexa::lang::ToUtf16;
using corvexa::lang::ToUtf8;

namespace {

TEST(WideText, RoundTripsThroughUtf8AndUtf16) {
  for (const std::wstring& s :
       {std::wstring(L""), std::wstring(L"COM"), std::wstring(L"串口 100Ω"),
        std::wstring(L"a\U0001F600b"), std::wstring(L"\uFFFD\u0800\u07FF")}) {
    EXPECT_EQ(FromUtf8(ToUtf8(s)), s);
    EXPECT_EQ(FromUtf16(ToUtf16(s).c_str()), s);
  }
  EXPECT_EQ(ToUtf8(L"串"), "\xE4\xB8\xB2");
  EXPECT_EQ(ToUtf16(L"\U0001F600"), u"\xD83D\xDE00");
}

TEST(WideText, InvalidInputBecomesReplacementCharacters) {
  const struct {
    const char* bytes;
    const wchar_t* expected;
  } cases[] = {
      {"a\xFF" "b", L"a\uFFFDb"},
      {"\xE4\xB8", L"\uFFFD"},              // cut short at the end
      {"\xE4(b", L"\uFFFD(b"},              // cut short by another byte
      {"\xC0\xAF", L"\uFFFD"},              // overlong '/'
      {"\xED\xA0\x80", L"\uFFFD"},          // encoded surrogate
      {"\xF4\x90\x80\x80", L"\uFFFD"},      // above U+10FFFF
  };
  for (const auto& c : cases) EXPECT_EQ(FromUtf8(c.bytes), c.expected) << c.bytes;
  const char16_t lone[] = {u'x', 0xD800, u'y', 0xDC00, 0};
  EXPECT_EQ(FromUtf16(lone), L"x\uFFFDy\uFFFD");
  EXPECT_EQ(FromUtf16(nullptr), L"");
}

}  // namespace
