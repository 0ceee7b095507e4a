#include <gtest/gtest.h>

#include "lang/profile.h"
#include "tests/lang/test_support.h"

using corvexa::lang::FindProfileValue;
using corvexa::lang::GetPrivateProfileInt;
using corvexa::lang::SetProfileValue;
using corvexa::lang::WritePrivateProfileString;

namespace {

struct WriteCase {
    const char* name;
    std::string before;
    std::string after;
};

const WriteCase kWrites[] = {
    {"EmptyFile", "", "[Localize]\nLanguage=2052\n"},
    {"OtherSectionsAndCommentsKept", "; settings\n[Port]\nName=COM3\n\n[Other]\nx=1\n",
     "; settings\n[Port]\nName=COM3\n\n[Other]\nx=1\n[Localize]\n"
     "Language=2052\n"},
    {"KeyReplacedInPlace", "[A]\nLanguage=1\n[Localize]\n; chosen by user\nLanguage = 1033 \nk=v\n",
     "[A]\nLanguage=1\n[Localize]\n; chosen by user\nLanguage=2052\nk=v\n"},
    {"NamesComparedWithoutCase", "[LOCALIZE]\nlanguage=1\n", "[LOCALIZE]\nLanguage=2052\n"},
    {"KeyAddedAtEndOfSectionBeforeBlankLines", "[Localize]\nOther=1\n\n[Next]\ny=2\n",
     "[Localize]\nOther=1\nLanguage=2052\n\n[Next]\ny=2\n"},
    {"WindowsLineEndingsKept", "[Localize]\r\nOther=1\r\n",
     "[Localize]\r\nOther=1\r\nLanguage=2052\r\n"},
    {"LastLineWithoutTerminator", "[Port]\nName=COM3",
     "[Port]\nName=COM3\n[Localize]\nLanguage=2052\n"},
    {"SectionWithoutTerminator", "[Localize]", "[Localize]\nLanguage=2052\n"},
};

void PrintTo(const WriteCase& c, std::ostream* os) {
    *os << c.name;
}

class ProfileWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(ProfileWrite, SetsTheKeyAndKeepsTheRest) {
    EXPECT_EQ(SetProfileValue(GetParam().before, "Localize", "Language", "2052"), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(Files, ProfileWrite, ::testing::ValuesIn(kWrites),
                         [](const auto& info) { return info.param.name; });

struct ReadCase {
    const char* content;
    uint32_t expected;  // default is 1033
};

const ReadCase kReads[] = {
    {"[Localize]\nLanguage=2052\n", 2052},
    {"[localize]\nLANGUAGE = 1049\n", 1049},
    {"[Localize]\nLanguage=abc\n", 0},
    {"[Localize]\nLanguage=12ab\n", 12},
    {"[Localize]\nLanguage=\"1049\"\n", 1049},
    {"[Localize]\nLanguage=\n", 1033},
    {"[Localize]\nLanguage=-1\n", 0xFFFFFFFFu},
    {"[Other]\nLanguage=7\n", 1033},
    {"Language=7\n[Localize]\n", 1033},
    {"[Localize]\n;Language=7\n", 1033},
    {"[Localize]\nLanguage=7\n[Localize]\nLanguage=8\n", 7},
};

TEST(ProfileRead, IntegerValues) {
    langtest::TempDir dir;
    const std::string path = dir.file("McSetting.ini");
    const std::wstring wpath(path.begin(), path.end());
    for (const ReadCase& c : kReads) {
        langtest::WriteBytes(path, c.content);
        EXPECT_EQ(GetPrivateProfileInt("Localize", "Language", 1033, wpath), c.expected)
            << c.content;
    }
}

TEST(ProfileRead, MissingFileGivesTheDefault) {
    EXPECT_EQ(GetPrivateProfileInt("Localize", "Language", 42, L"/nonexistent/McSetting.ini"), 42u);
    EXPECT_FALSE(FindProfileValue("", "Localize", "Language").has_value());
}

TEST(ProfileFile, WriteCreatesAndThenUpdatesTheFile) {
    langtest::TempDir dir;
    const std::string path = dir.file("McSetting.ini");
    const std::wstring wpath(path.begin(), path.end());
    ASSERT_TRUE(WritePrivateProfileString("Localize", "Language", "2052", wpath));
    EXPECT_EQ(langtest::ReadBytes(path), "[Localize]\nLanguage=2052\n");
    langtest::WriteBytes(path, "; keep me\n" + *langtest::ReadBytes(path));
    ASSERT_TRUE(WritePrivateProfileString("Localize", "Language", "1033", wpath));
    EXPECT_EQ(langtest::ReadBytes(path), "; keep me\n[Localize]\nLanguage=1033\n");
    // No temporary file is left behind.
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.str()))
        files += e.is_regular_file();
    EXPECT_EQ(files, 1);
}

TEST(ProfileFile, WriteIntoAMissingFolderFailsAndCreatesNothing) {
    langtest::TempDir dir;
    const std::string path = dir.file("no/such/McSetting.ini");
    EXPECT_FALSE(WritePrivateProfileString("Localize", "Language", "1",
                                           std::wstring(path.begin(), path.end())));
    EXPECT_FALSE(std::filesystem::exists(dir.file("no")));
}

}  // namespace
