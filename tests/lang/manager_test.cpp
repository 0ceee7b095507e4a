#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cwctype>

#include "lang/langtable.h"
#include "lang/language.h"
#include "lang/platform.h"
#include "tests/lang/test_support.h"

using langtest::MainPack;
using langtest::Pack;
using langtest::ReadBytes;
using langtest::ScopedEnv;
using langtest::TempDir;
using langtest::WriteBytes;

namespace {

// A program folder of its own for the process-wide manager, with the
// user's locale pinned and the start-up scan forgotten.
class Manager : public ::testing::Test {
protected:
    Manager()
        : m_config("XDG_CONFIG_HOME", (m_dir.str() + "/cfg").c_str()),
          m_lcAll("LC_ALL", nullptr),
          m_lcMessages("LC_MESSAGES", nullptr),
          m_lang("LANG", "C") {
        CLanguageTestAccess::SetProgramFolder(g_Language, m_dir.str());
        CLanguageTestAccess::ForgetPackScan();
    }
    ~Manager() override {
        CLanguageTestAccess::ForgetPackScan();
        SetLanguage(0);  // drops the texts of this test's packs
    }

    // The user's settings; the file beside the program holds defaults.
    std::string SettingPath() const { return m_dir.str() + "/cfg/corvexa/McSetting.ini"; }
    std::optional<std::string> Setting() const { return ReadBytes(SettingPath()); }

    TempDir m_dir;
    ScopedEnv m_config;
    ScopedEnv m_lcAll;
    ScopedEnv m_lcMessages;
    ScopedEnv m_lang;
};

TEST_F(Manager, StartupLoadsTheUsersLanguageAndStoresIt) {
    ScopedEnv locale("LANG", "zh_CN.UTF-8");
    WriteBytes(m_dir.lang("zh_CN.lang"), Pack(MainPack({{105, "串口"}})));
    WriteBytes(m_dir.lang("en_US.lang"), Pack(MainPack({{105, "Port"}})));
    InitLanguage();
    EXPECT_EQ(GetResString(L"Main", 105, L""), L"串口");
    EXPECT_EQ(Setting(), "[Localize]\nLanguage=2052\n");
}

TEST_F(Manager, LanguageWithOnlyAnXmlPackIsNotChosenAtStartupButLoadsLater) {
    WriteBytes(m_dir.file("McSetting.ini"), "[Localize]\nLanguage=1049\n");
    WriteBytes(m_dir.lang("ru_RU.xml"), MainPack({{131, "Изменить"}}));
    WriteBytes(m_dir.lang("en_US.lang"), Pack(MainPack({{131, "Change"}})));
    InitLanguage();
    EXPECT_EQ(GetResString(L"Main", 131, L""), L"Change");
    EXPECT_EQ(GetLangIDSetting(), 1033);

    SetLanguage(1049);
    EXPECT_EQ(GetResString(L"Main", 131, L""), L"Изменить");
    EXPECT_EQ(GetLangIDSetting(), 1049);
}

TEST_F(Manager, StartupWithoutAnyPackFallsBackToBuiltinTexts) {
    ScopedEnv locale("LANG", "de_DE.UTF-8");
    InitLanguage();
    EXPECT_EQ(GetResString(L"Main", 131, L""), L"Modify");
    EXPECT_FALSE(Setting().has_value());  // nothing loaded, nothing stored
}

TEST_F(Manager, PlainPackPreferredOverPackedOne) {
    WriteBytes(m_dir.lang("zh_CN.xml"), MainPack({{105, "from xml"}}));
    WriteBytes(m_dir.lang("zh_CN.lang"), Pack(MainPack({{105, "from lang"}})));
    SetLanguage(2052);
    EXPECT_EQ(GetResString(L"Main", 105, L""), L"from xml");
}

TEST_F(Manager, PackFileNames) {
    WriteBytes(m_dir.lang("zh_CN.xml"), "");
    std::filesystem::create_directory(m_dir.lang("de_DE.xml"));
    const struct {
        uint16_t id;
        const wchar_t* name;
    } cases[] = {{2052, L"zh_CN.xml"},    {1049, L"ru_RU.lang"}, {1031, L"de_DE.lang"},
                 {1034, L"es_ES_T.lang"}, {9999, L""},           {0, L""}};
    for (const auto& c : cases) {
        EXPECT_EQ(CLanguageTestAccess::XmlName(g_Language, c.id), c.name) << c.id;
    }
}

TEST_F(Manager, LookupFallsBackToBuiltinThenDefault) {
    WriteBytes(m_dir.lang("zh_CN.lang"),
               Pack(MainPack({{133, "pack text"}, {132, ""}, {999, "pack 999"}})));
    SetLanguage(2052);
    const struct {
        const wchar_t* group;
        int id;
        const wchar_t* def;
        const wchar_t* expected;
    } cases[] = {
        {L"Main", 133, L"", L"pack text"},
        {L"Main", 131, L"", L"Modify"},                            // not in the pack
        {L"main", 133, L"", L"Parameter modification succeeded"},  // case
        {L"Login", 133, L"", L"Parameter modification succeeded"},
        {L"Main", 132, L"", L"Set"},  // empty pack text
        {L"Main", 998, L"x", L"x"},   // nowhere
        {L"Main", 999, L"x", L"pack 999"},
        {L"Main", 131, L"x", L"Modify"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetResString(c.group, c.id, c.def), c.expected) << c.group << " " << c.id;
    }
}

TEST_F(Manager, FailedLoadLeavesBuiltinTextsAndKeepsTheSetting) {
    WriteBytes(m_dir.lang("zh_CN.lang"), Pack(MainPack({{131, "修改"}})));
    SetLanguage(2052);
    ASSERT_EQ(GetResString(L"Main", 131, L""), L"修改");
    const auto stored = Setting();
    ASSERT_EQ(stored, "[Localize]\nLanguage=2052\n");

    WriteBytes(m_dir.lang("ru_RU.xml"), "<broken>");
    ::testing::internal::CaptureStdout();
    const int rc = g_Language.SetLanguage(1049);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Unexpected Exception \n");
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(GetResString(L"Main", 131, L""), L"Modify");
    EXPECT_EQ(Setting(), stored);

    // A language without a table row fails the same way, silently.
    SetLanguage(2052);
    ::testing::internal::CaptureStdout();
    SetLanguage(4242);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(GetResString(L"Main", 131, L""), L"Modify");
    EXPECT_EQ(Setting(), stored);
}

TEST_F(Manager, StoredSettingUsesTheLowSixteenBitsAndTheLocaleAsDefault) {
    ScopedEnv locale("LANG", "ru_RU.UTF-8");
    EXPECT_EQ(GetLangIDSetting(), 1049);
    WriteBytes(m_dir.file("McSetting.ini"), "[Localize]\nLanguage=133124\n");
    EXPECT_EQ(GetLangIDSetting(), 2052);  // 0x20804
    WriteBytes(m_dir.file("McSetting.ini"), "[Localize]\nLanguage=0x804\n");
    EXPECT_EQ(GetLangIDSetting(), 2052);  // hexadecimal, as Windows reads it
    WriteBytes(m_dir.file("McSetting.ini"), "[Localize]\nLanguage=0X40fz\n");
    EXPECT_EQ(GetLangIDSetting(), 1039);
    SetLangIDSetting(1031);
    EXPECT_EQ(Setting(), "[Localize]\nLanguage=1031\n");
}

TEST_F(Manager, ScanCountsLangFilesOnly) {
    TempDir second;
    WriteBytes(m_dir.lang("EN_us.LANG"), "");
    WriteBytes(m_dir.lang("zh_CN.lang"), "");
    WriteBytes(m_dir.lang("de_DE.xml"), "");
    WriteBytes(m_dir.lang("xx_XX.lang"), "");
    std::filesystem::create_directory(m_dir.lang("fr_FR.lang"));
    WriteBytes(second.lang("ru_RU.lang"), "");
    ScanLangFiles(langtest::Wide(m_dir.lang("")), langtest::Wide(second.lang("")), true);
    const struct {
        uint32_t id;
        int supported;
    } cases[] = {{1033, 1}, {2052, 1}, {1049, 1}, {1031, 0},
                 {1036, 0}, {0, 0},    {1028, 0}, {0x10804, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(CLanguageTestAccess::IsSupported(g_Language, c.id), c.supported) << c.id;
    }

    std::vector<SLanguage> list(1, SLanguage{});
    ASSERT_EQ(GetSupportedLang(&list), 0);
    ASSERT_EQ(GetSupportedLang(&list), 0);
    std::vector<uint16_t> ids;
    for (const SLanguage& l : list) ids.push_back(l.wLangID);
    EXPECT_EQ(ids, (std::vector<uint16_t>{0, 1033, 1049, 2052, 1033, 1049, 2052}));
    EXPECT_STREQ(list[3].szName, L"简体中文");
    EXPECT_EQ(GetSupportedLang(nullptr), -1);
}

// Loading Turkish sets a Turkish character-type locale for the whole
// process, whose folding takes 'I' to dotless 'ı': names must still match.
TEST_F(Manager, NamesMatchWithoutCaseUnderATurkishLocale) {
    TempDir locales;
    ScopedEnv locpath("LOCPATH", locales.str().c_str());
    const std::string build =
        "localedef -i tr_TR -f UTF-8 " + locales.str() + "/tr_TR.UTF-8 >/dev/null 2>&1";
    if (std::system(build.c_str()) != 0) GTEST_SKIP() << "no Turkish locale could be built";
    struct CtypeBack {
        ~CtypeBack() { std::setlocale(LC_CTYPE, "C"); }
    } ctypeBack;
    WriteBytes(m_dir.lang("tr_TR.lang"), Pack(MainPack({{105, "Bağlantı"}})));
    SetLanguage(1055);
    ASSERT_EQ(GetResString(L"Main", 105, L""), L"Bağlantı");
    ASSERT_EQ(std::towlower(L'I'), L'\u0131');  // Turkish folding is on

    WriteBytes(m_dir.lang("ru_RU.xml"),
               "<L><Group name=\"Main\"><ids id=\"131\">Изменить</ids></Group></L>");
    SetLanguage(1049);
    EXPECT_EQ(GetResString(L"Main", 131, L""), L"Изменить");
    WriteBytes(SettingPath(), "[LOCALIZE]\nLANGUAGE=1031\n");
    EXPECT_EQ(GetLangIDSetting(), 1031);
    WriteBytes(m_dir.lang("IT_it.LANG"), "");
    ScanLangFiles(langtest::Wide(m_dir.lang("")), L"", true);
    EXPECT_EQ(CLanguageTestAccess::IsSupported(g_Language, 1040), 1);
    EXPECT_EQ(corvexa::lang::LangIdFromPosixLocale("IT_IT"), 1040);
}

TEST_F(Manager, ScanRunsOnceUnlessForced) {
    const std::wstring folder = langtest::Wide(m_dir.lang(""));
    ScanLangFiles(folder, folder, false);
    WriteBytes(m_dir.lang("zh_CN.lang"), "");
    ScanLangFiles(folder, folder, false);
    EXPECT_EQ(CLanguageTestAccess::IsSupported(g_Language, 2052), 0);
    ScanLangFiles(folder, folder, true);
    EXPECT_EQ(CLanguageTestAccess::IsSupported(g_Language, 2052), 1);
}

TEST(LanguageTable, RowsAsListed) {
    int rows = 0;
    while (g_LangTable[rows].wLangID != 0) ++rows;
    EXPECT_EQ(rows, 44);
    EXPECT_EQ(g_LangTable[0].wLangID, 14337);
    EXPECT_STREQ(g_LangTable[40].szLocale, L"zh_CN");
    EXPECT_EQ(g_LangTable[40].nCodePage, 936u);
    EXPECT_STREQ(g_LangTable[43].szLocale, L"ug_CN");
}

TEST(UserLocale, PosixNamesToLanguageIds) {
    const struct {
        const char* name;
        uint16_t id;
    } cases[] = {
        {"zh_CN.UTF-8", 2052},
        {"zh_TW.Big5", 1028},
        {"zh_HK", 1028},
        {"zh", 2052},
        {"de_DE@euro", 1031},
        {"de_AT.UTF-8", 1031},
        {"cs_CZ.UTF-8", 1029},
        {"ja_JP.eucJP", 1041},
        {"uk_UA", 1058},
        {"pt_PT", 2070},
        {"pt_BR", 1046},
        {"pt", 1046},
        {"en_GB.UTF-8", 1033},
        {"fr_CA", 1036},
        {"ru", 1049},
        {"es_MX", 1034},
        {"C", 0},
        {"POSIX", 0},
        {"", 0},
        {"C.UTF-8", 0},
        {"xx_YY", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(corvexa::lang::LangIdFromPosixLocale(c.name), c.id) << c.name;
    }
}

TEST(UserLocale, EnvironmentPrecedence) {
    const struct {
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        uint32_t id;
    } cases[] = {
        {"de_DE.UTF-8", "ru_RU", "zh_CN", 1031}, {"", "ru_RU.UTF-8", "zh_CN", 1049},
        {nullptr, nullptr, "zh_CN.UTF-8", 2052}, {nullptr, nullptr, nullptr, 1033},
        {nullptr, nullptr, "C", 1033},           {"C", nullptr, "zh_CN", 1033},
    };
    for (const auto& c : cases) {
        ScopedEnv a("LC_ALL", c.lcAll), m("LC_MESSAGES", c.lcMessages), l("LANG", c.lang);
        EXPECT_EQ(corvexa::lang::sys::UserDefaultLangId(), c.id) << (c.lang ? c.lang : "-");
    }
}

}  // namespace

namespace {

// A program folder that cannot take the file (here: one that does not
// exist; a read-only one behaves the same but root ignores permissions).
TEST(SettingsLocation, UserConfigFolderWhenProgramFolderIsNotWritable) {
    TempDir home;
    ScopedEnv xdg("XDG_CONFIG_HOME", (home.str() + "/cfg").c_str());
    ScopedEnv lang("LANG", "C");
    ScopedEnv lcAll("LC_ALL", nullptr);
    ScopedEnv lcMessages("LC_MESSAGES", nullptr);
    CLanguage manager;
    CLanguageTestAccess::SetProgramFolder(manager, home.str() + "/missing");
    EXPECT_EQ(manager.GetLangIDSetting(), 1033);
    manager.SetLangIDSetting(2052);
    EXPECT_EQ(ReadBytes(home.str() + "/cfg/corvexa/McSetting.ini"), "[Localize]\nLanguage=2052\n");
    EXPECT_EQ(manager.GetLangIDSetting(), 2052);
}

// Run as root the program folder is writable too; still nothing is written
// there: a file beside the program gives every user its defaults, key by
// key, and the user's own file overrides them.
TEST(SettingsLocation, WrittenOnlyForTheUserAndReadOverTheDefaultsBesideTheProgram) {
    TempDir home;
    TempDir program;
    ScopedEnv xdg("XDG_CONFIG_HOME", home.str().c_str());
    const std::string defaults = "[Localize]\nLanguage=1031\n[History]\nDatabase=site.sqlite\n";
    WriteBytes(program.file("McSetting.ini"), defaults);
    CLanguage manager;
    CLanguageTestAccess::SetProgramFolder(manager, program.str());
    EXPECT_EQ(manager.GetLangIDSetting(), 1031);
    manager.SetLangIDSetting(2052);
    EXPECT_EQ(manager.GetLangIDSetting(), 2052);
    // Other texts share the file; a typed line break must not add a line.
    manager.SetTextSetting("Calibration", "Technician", L"李伟\n[Localize]");
    EXPECT_EQ(ReadBytes(home.str() + "/corvexa/McSetting.ini"),
              "[Localize]\nLanguage=2052\n[Calibration]\nTechnician=\xE6\x9D\x8E\xE4\xBC\x9F "
              "[Localize]\n");
    EXPECT_EQ(manager.GetTextSetting("Calibration", "Technician"), L"李伟 [Localize]");
    EXPECT_EQ(manager.GetTextSetting("History", "Database"), L"site.sqlite");
    EXPECT_EQ(ReadBytes(program.file("McSetting.ini")), defaults);
}

}  // namespace
