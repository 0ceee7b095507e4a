#include "base/ascii_case.h"

#include <gtest/gtest.h>

#include <string>

using corvexa::base::AsciiLower;
using corvexa::base::EndsWithAsciiNoCase;
using corvexa::base::EqualsAsciiNoCase;

namespace {

TEST(AsciiCase, FoldsOnlyAsciiLetters) {
    EXPECT_TRUE(EqualsAsciiNoCase(std::string("IDS"), "ids"));
    EXPECT_TRUE(EqualsAsciiNoCase(std::wstring(L"zh_cn"), L"ZH_CN"));
    EXPECT_TRUE(EqualsAsciiNoCase(u"Group", std::u16string_view(u"gROUP")));
    EXPECT_TRUE(EqualsAsciiNoCase(std::string_view("ru_RU"), L"RU_ru"));
    EXPECT_FALSE(EqualsAsciiNoCase("ids", "idsx"));
    EXPECT_FALSE(EqualsAsciiNoCase("I", L"\u0131"));  // dotless i is not 'I'
    // Compared as code points: a byte above 0x7F is not sign-extended, and
    // a wide character is not cut down to its low byte ('i' is 0x69).
    EXPECT_FALSE(EqualsAsciiNoCase("\xC9", L"\uFFC9"));
    EXPECT_FALSE(EqualsAsciiNoCase("i", L"\u0169"));
    EXPECT_EQ(AsciiLower(std::string("McSetting.INI \xC9")), "mcsetting.ini \xC9");

    EXPECT_TRUE(EndsWithAsciiNoCase(std::wstring(L"zh_CN.LANG"), L".lang"));
    EXPECT_FALSE(EndsWithAsciiNoCase(L"lang", L".lang"));
}

}  // namespace
