#include <gtest/gtest.h>

#include "tests/lang/test_support.h"

using langtest::TempDir;
using langtest::WriteBytes;
using Groups = CLanguageTestAccess::Groups;

namespace {

struct ReaderCase {
    const char* name;
    std::string body;  // inside <?xml?> and a root element <Pack>
    Groups expected;
};

std::string Doc(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Pack>" + body + "</Pack>\n";
}

const ReaderCase kCases[] = {
    {"IdsWithLeadingZerosAndBlanks",
     R"(<Group name="Main"><IDS id="102">a</IDS><IDS id="0105">b</IDS>)"
     R"(<IDS id="  +107x">c</IDS></Group>)",
     {{L"Main", {{102, L"a"}, {105, L"b"}, {107, L"c"}}}}},
    {"UnusableIdsIgnored",
     R"(<Group name="Main"><IDS id="abc">a</IDS><IDS id="0">b</IDS>)"
     R"(<IDS>c</IDS><IDS ID="5">d</IDS><IDS id="-3">e</IDS></Group>)",
     {{L"Main", {{-3, L"e"}}}}},
    {"IdsAnyCaseGroupExactCase",
     R"(<Group name="Main"><ids id="1">a</ids><Ids id="2">b</Ids></Group>)"
     R"(<group name="Other"><IDS id="3">c</IDS></group>)",
     {{L"Main", {{1, L"a"}, {2, L"b"}}}}},
    {"WholeTextContentKept",
     "<Group name=\"Main\"><IDS id=\"1\">line one\n  line <b>two</b>"
     "<i>!</i>\n</IDS></Group>",
     {{L"Main", {{1, L"line one\n  line two!\n"}}}}},
    {"LaterDuplicatesWin",
     R"(<Group name="Main"><IDS id="1">old</IDS><IDS id="2">kept</IDS>)"
     R"(<IDS id="1">new</IDS></Group>)"
     R"(<Group name="Login"><IDS id="9">x</IDS></Group>)"
     R"(<Group name="Login"><IDS id="8">y</IDS></Group>)",
     {{L"Main", {{1, L"new"}, {2, L"kept"}}}, {L"Login", {{8, L"y"}}}}},
    {"NestedGroupsAreSeparate",
     R"(<Group name="Outer"><IDS id="1">o</IDS>)"
     R"(<Group name="Inner"><IDS id="2">i</IDS></Group></Group>)",
     {{L"Outer", {{1, L"o"}}}, {L"Inner", {{2, L"i"}}}}},
    {"GroupsAtAnyDepthTextsOnlyAsDirectChildren",
     R"(<A><B><Group name="Deep"><IDS id="1">d</IDS>)"
     R"(<Wrap><IDS id="2">lost</IDS></Wrap></Group></B></A>)",
     {{L"Deep", {{1, L"d"}}}}},
    {"GroupsWithoutNameSkipped",
     R"(<Group><IDS id="1">a</IDS></Group><Group name=""><IDS id="2">b</IDS>)"
     R"(</Group><Group Name="x"><IDS id="3">c</IDS></Group>)",
     {}},
    {"EntitiesResolved",
     R"(<Group name="M&amp;N"><IDS id="1">&lt;a&gt; &amp; &#x4E32;&#21475;</IDS>)"
     R"(<IDS id="2"><![CDATA[<raw>]]></IDS></Group>)",
     {{L"M&N", {{1, L"<a> & 串口"}, {2, L"<raw>"}}}}},
    {"EmptyTextStored",
     R"(<Group name="Main"><IDS id="1"></IDS><IDS id="2"/></Group>)",
     {{L"Main", {{1, L""}, {2, L""}}}}},
    {"NoGroupsLoadsNothing", R"(<Other name="Main"><IDS id="1">a</IDS></Other>)", {}},
};

void PrintTo(const ReaderCase& c, std::ostream* os) {
    *os << c.name;
}

class ReaderTable : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(ReaderTable, GroupsAndTextsAsRead) {
    TempDir dir;
    const std::string path = dir.lang("t.xml");
    WriteBytes(path, Doc(GetParam().body));
    CLanguage lang;
    ASSERT_EQ(CLanguageTestAccess::Load(lang, path), 0);
    EXPECT_EQ(CLanguageTestAccess::Dump(lang), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Documents, ReaderTable, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return info.param.name; });

TEST(Reader, RootNamedGroupIsNotAGroupItself) {
    TempDir dir;
    WriteBytes(dir.lang("t.xml"), R"(<Group name="Root"><IDS id="1">r</IDS>)"
                                  R"(<Group name="Child"><IDS id="2">c</IDS></Group></Group>)");
    CLanguage lang;
    ASSERT_EQ(CLanguageTestAccess::Load(lang, dir.lang("t.xml")), 0);
    EXPECT_EQ(CLanguageTestAccess::Dump(lang), (Groups{{L"Child", {{2, L"c"}}}}));
}

TEST(Reader, Utf16WithByteOrderMark) {
    const std::u16string doc =
        u"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>"
        u"<P><Group name=\"Main\"><IDS id=\"105\">串口 \U0001F600</IDS></Group></P>";
    std::string bytes;
    for (char16_t c : doc) {  // little-endian, as Windows editors save it
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    TempDir dir;
    WriteBytes(dir.lang("t.xml"), bytes);
    CLanguage lang;
    ASSERT_EQ(CLanguageTestAccess::Load(lang, dir.lang("t.xml")), 0);
    EXPECT_EQ(CLanguageTestAccess::Dump(lang), (Groups{{L"Main", {{105, L"串口 \U0001F600"}}}}));
}

TEST(Reader, Gb2312DeclaredDocument) {
    // "串口" and "波特率" in GB2312.
    const std::string doc =
        "<?xml version=\"1.0\" encoding=\"GB2312\"?><P><Group name=\"Main\">"
        "<IDS id=\"105\">\xB4\xAE\xBF\xDA</IDS>"
        "<IDS id=\"106\">\xB2\xA8\xCC\xD8\xC2\xCA</IDS></Group></P>";
    TempDir dir;
    WriteBytes(dir.lang("t.xml"), doc);
    CLanguage lang;
    ASSERT_EQ(CLanguageTestAccess::Load(lang, dir.lang("t.xml")), 0);
    EXPECT_EQ(CLanguageTestAccess::Dump(lang),
              (Groups{{L"Main", {{105, L"串口"}, {106, L"波特率"}}}}));
}

// "@" stands for the pack's path.
struct FailureCase {
    const char* name;
    std::string bytes;
    const char* stdoutText;
};

constexpr char kNoDoctype[] =
    "Language pack @ skipped: document type declarations are not allowed\n";

const FailureCase kFailures[] = {
    {"Unclosed", "<P><Group name=\"Main\"><IDS id=\"1\">a</Group></P>", "Unexpected Exception \n"},
    {"Empty", "", "Unexpected Exception \n"},
    {"TextOnly", "just text", "Unexpected Exception \n"},
    {"TwoRoots", "<P/><Q/>", "Unexpected Exception \n"},
    {"UndefinedEntity",
     "<P><Group name=\"M\"><IDS id=\"1\">&nope;</IDS>"
     "</Group></P>",
     "Unexpected Exception \n"},
    // Packs need no DTD; one is where entities would be declared.
    {"InternalDtd",
     "<?xml version=\"1.0\"?><!DOCTYPE P [<!ELEMENT P EMPTY>"
     "<!ENTITY product \"Corvexa\">]>"
     "<P><Group name=\"Main\"><IDS id=\"1\">&product;</IDS></Group></P>",
     kNoDoctype},
    // A pack may not make the program read other files.
    {"ExternalEntity",
     "<?xml version=\"1.0\"?><!DOCTYPE P [<!ENTITY e SYSTEM "
     "\"/etc/hostname\">]><P><Group name=\"M\"><IDS id=\"1\">&e;</IDS>"
     "</Group></P>",
     kNoDoctype},
    // Nor expand entities without end.
    {"EntityExpansionBomb",
     "<?xml version=\"1.0\"?><!DOCTYPE P [<!ENTITY a \"aaaaaaaaaa\">"
     "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
     "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
     "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
     "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
     "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">"
     "<!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">]>"
     "<P><Group name=\"M\"><IDS id=\"1\">&g;</IDS></Group></P>",
     kNoDoctype},
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class ReaderFailures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ReaderFailures, ReportOnStandardOutputAndFail) {
    TempDir dir;
    WriteBytes(dir.lang("t.xml"), GetParam().bytes);
    CLanguage lang;
    ::testing::internal::CaptureStdout();
    const int rc = CLanguageTestAccess::Load(lang, dir.lang("t.xml"));
    const std::string out = ::testing::internal::GetCapturedStdout();
    std::string expected = GetParam().stdoutText;
    if (const size_t at = expected.find('@'); at != std::string::npos)
        expected.replace(at, 1, dir.lang("t.xml"));
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(out, expected);
    EXPECT_TRUE(CLanguageTestAccess::Dump(lang).empty());
}

INSTANTIATE_TEST_SUITE_P(Documents, ReaderFailures, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return info.param.name; });

TEST(Reader, MissingPlainFileFailsThroughTheErrorHandler) {
    TempDir dir;
    CLanguage lang;
    ::testing::internal::CaptureStdout();
    const int rc = CLanguageTestAccess::Load(lang, dir.lang("none.xml"));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Unexpected Exception \n");
    EXPECT_EQ(rc, -1);
}

TEST(Reader, MissingContainerFailsSilently) {
    TempDir dir;
    CLanguage lang;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(CLanguageTestAccess::Load(lang, dir.lang("none.lang")), -1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

TEST(Reader, AttributeReaderRules) {
    // The attribute reader on null and on an element without the attribute.
    EXPECT_EQ(CPackXMLFile::GetXMLNodeAttrValue(nullptr, L"id"), L"");
    CPackXMLFile tool;
    EXPECT_EQ(tool.ParserXML(L"x.xml"), nullptr);
    EXPECT_EQ(tool.GetCurElem(), nullptr);
}

}  // namespace
