// Broken and hostile packs at start-up: each is skipped with one line on
// standard output, quickly and without taking much memory, and the program
// goes on with the packed pack of the language or the built-in texts.

#include <gtest/gtest.h>

#include "lang/language.h"
#include "tests/lang/hostile_packs.h"
#include "tests/peak_memory.h"

using langtest::HostileCase;
using langtest::MainPack;
using langtest::Pack;
using langtest::ScopedEnv;
using langtest::TempDir;
using langtest::WriteBytes;

namespace {

// The sanitizers keep shadow memory, redzones and freed blocks for every
// allocation, a few times the memory itself; the bound still tells a refusal
// from the gigabytes an unchecked pack takes.
#if defined(__SANITIZE_THREAD__)
constexpr long kMemoryBoundMiB = 600;
#elif defined(__SANITIZE_ADDRESS__)
constexpr long kMemoryBoundMiB = 300;
#else
constexpr long kMemoryBoundMiB = 100;
#endif

class HostilePacks : public ::testing::TestWithParam<HostileCase> {
protected:
    HostilePacks() : m_lcAll("LC_ALL", nullptr), m_lang("LANG", "C") {
        CLanguageTestAccess::SetProgramFolder(g_Language, m_dir.str());
    }
    ~HostilePacks() override { SetLanguage(0); }

    TempDir m_dir;
    ScopedEnv m_lcAll;
    ScopedEnv m_lang;
};

TEST_P(HostilePacks, SkippedWithOneLineAndTheNextPackUsed) {
    const HostileCase& c = GetParam();
    const std::string path = m_dir.lang(c.file);
    ASSERT_TRUE(c.make(path));
    const bool plain = std::string(c.file).find(".xml") != std::string::npos;
    if (plain) WriteBytes(m_dir.lang("zh_CN.lang"), Pack(MainPack({{105, "from lang"}})));

    ::testing::internal::CaptureStdout();
    const std::optional<long> grewMiB = memtest::PeakGrowthMiB([] { SetLanguage(2052); });
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Language pack " + path + " skipped: " + c.reason + "\n");
    EXPECT_EQ(GetResString(L"Main", 105, L""), plain ? L"from lang" : L"COM");
    if (grewMiB) {
        EXPECT_LT(*grewMiB, kMemoryBoundMiB);
    }
}

INSTANTIATE_TEST_SUITE_P(Packs, HostilePacks, ::testing::ValuesIn(langtest::kHostileCases),
                         [](const auto& info) { return info.param.name; });

}  // namespace
