#include "base/wide_text.h"

#include <gtest/gtest.h>

using corvexa::base::FromUtf16;
using corvexa::base::FromUtf8;
using corvexa::base::ToUtf16;
using corvexa::base::ToUtf8;

namespace {

TEST(WideText, RoundTripsThroughUtf8AndUtf16) {
    for (const std::wstring& s :
         {std::wstring(L""), std::wstring(L"COM"), std::wstring(L"串口 100Ω"),
          std::wstring(L"a\U0001F600b"), std::wstring(L"\uFFFD\u0800\u07FF\U0010FFFF")}) {
        EXPECT_EQ(FromUtf8(ToUtf8(s)), s);
        EXPECT_EQ(FromUtf16(ToUtf16(s).c_str()), s);
    }
    EXPECT_EQ(ToUtf8(L"串"), "\xE4\xB8\xB2");
    // One character outside the BMP is four bytes, whatever size wchar_t has
    // (two units on Windows must not be encoded one by one).
    EXPECT_EQ(ToUtf8(L"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(ToUtf16(L"\U0001F600"), u"\xD83D\xDE00");
}

TEST(WideText, InvalidInputBecomesReplacementCharacters) {
    const struct {
        const char* bytes;
        const wchar_t* expected;
    } cases[] = {
        {"a\xFF"
         "b",
         L"a\uFFFDb"},
        {"\xE4\xB8", L"\uFFFD"},          // cut short at the end
        {"\xE4(b", L"\uFFFD(b"},          // cut short by another byte
        {"\x80x", L"\uFFFDx"},            // continuation byte without a lead
        {"\xC0\xAF", L"\uFFFD"},          // overlong '/'
        {"\xE0\x80\xAF", L"\uFFFD"},      // overlong in three bytes
        {"\xED\xA0\x80", L"\uFFFD"},      // encoded surrogate
        {"\xF4\x90\x80\x80", L"\uFFFD"},  // above U+10FFFF
    };
    for (const auto& c : cases) EXPECT_EQ(FromUtf8(c.bytes), c.expected) << c.bytes;

    const char16_t lone[] = {u'x', 0xD800, u'y', 0xDC00, 0};
    EXPECT_EQ(FromUtf16(lone), L"x\uFFFDy\uFFFD");
    EXPECT_EQ(FromUtf16(nullptr), L"");
    // A lone surrogate in wide text (possible where wchar_t has 16 bits, or
    // put there by a cast) never reaches UTF-8 as an encoded surrogate.
    const std::wstring loneWide(1, static_cast<wchar_t>(0xD800));
    EXPECT_EQ(ToUtf8(loneWide + L"z"), "\xEF\xBF\xBDz");
}

}  // namespace
