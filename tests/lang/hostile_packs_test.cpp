// Broken and hostile packs at start-up: each is skipped with one line on
// standard output, quickly and without taking much memory, and the program
// goes on with the packed pack of the language or the built-in texts.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "lang/language.h"
#include "tests/lang/test_support.h"
#include "tests/peak_memory.h"

using langtest::MainPack;
using langtest::Pack;
using langtest::ScopedEnv;
using langtest::TempDir;
using langtest::WriteBytes;

namespace {

std::string Doc(const std::string& body) {
  return "<?xml version=\"1.0\"?><Lang><Group name=\"Main\">" + body +
         "</Group></Lang>";
}

std::string Repeat(const std::string& s, size_t n) {
  std::string out;
  out.reserve(s.size() * n);
  for (size_t i = 0; i < n; ++i) out += s;
  return out;
}

std::string DeepIds(size_t levels) {
  return Doc("<IDS id=\"105\">" + Repeat("<a>", levels) + "x" +
             Repeat("</a>", levels) + "</IDS>");
}

// One 20 KB entity used 9000 times: 47 KB that expand to 180 million
// characters.
std::string EntityAmplification() {
  return "<?xml version=\"1.0\"?><!DOCTYPE Lang [<!ENTITY e \"" +
         std::string(20000, 'x') + "\">]><Lang><Group name=\"Main\">"
         "<IDS id=\"105\">" + Repeat("&e;", 9000) + "</IDS></Group></Lang>";
}

// Groups inside texts share their text with every text around them: 3 Mi
// characters at the bottom of three nested texts are gathered three times.
std::string NestedTextsOverBudget() {
  return Doc("<IDS id=\"1\"><Group name=\"A\"><IDS id=\"2\"><Group name=\"B\">"
             "<IDS id=\"3\">" + std::string(size_t{3} << 20, 'x') +
             "</IDS></Group></IDS></Group></IDS>");
}

void Sparse40GB(const std::string& path) {
  WriteBytes(path, "");
  ASSERT_EQ(truncate(path.c_str(), 40LL << 30), 0);
}

struct HostileCase {
  const char* name;
  const char* file;  // in lang/; a plain pack has a good packed one beside it
  void (*make)(const std::string& path);
  const char* reason;
};

const HostileCase kCases[] = {
    {"DeepNesting200000", "zh_CN.lang",
     [](const std::string& p) { WriteBytes(p, Pack(DeepIds(200000))); },
     "elements nested too deep"},
    {"DeepNestingTwoMillion", "zh_CN.lang",
     [](const std::string& p) { WriteBytes(p, Pack(DeepIds(2000000))); },
     "elements nested too deep"},
    {"DeepNestingPlain", "zh_CN.xml",
     [](const std::string& p) { WriteBytes(p, DeepIds(200000)); },
     "elements nested too deep"},
    {"EntityAmplification", "zh_CN.xml",
     [](const std::string& p) { WriteBytes(p, EntityAmplification()); },
     "document type declarations are not allowed"},
    {"TooMuchText", "zh_CN.lang",
     [](const std::string& p) {
       WriteBytes(p, Pack(MainPack({{105, std::string(size_t{9} << 20, 'x')}})));
     },
     "too much text"},
    {"NestedTextsOverBudget", "zh_CN.lang",
     [](const std::string& p) { WriteBytes(p, Pack(NestedTextsOverBudget())); },
     "too much text"},
    {"TooManyElements", "zh_CN.lang",
     [](const std::string& p) { WriteBytes(p, Pack(Doc(Repeat("<x/>", 200000)))); },
     "too many elements"},
    {"HugeSparseContainer", "zh_CN.lang", Sparse40GB, "larger than 64 MiB"},
    {"HugeSparsePlain", "zh_CN.xml", Sparse40GB, "larger than 64 MiB"},
    {"Fifo", "zh_CN.xml",
     [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); },
     "not a regular file"},
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

class HostilePacks : public ::testing::TestWithParam<HostileCase> {
 protected:
  HostilePacks() : lcAll_("LC_ALL", nullptr), lang_("LANG", "C") {
    CLanguageTestAccess::SetProgramFolder(g_Language, dir_.str());
  }
  ~HostilePacks() override { SetLanguage(0); }

  TempDir dir_;
  ScopedEnv lcAll_;
  ScopedEnv lang_;
};

TEST_P(HostilePacks, SkippedWithOneLineAndTheNextPackUsed) {
  const HostileCase& c = GetParam();
  const std::string path = dir_.lang(c.file);
  c.make(path);
  const bool plain = std::string(c.file).find(".xml") != std::string::npos;
  if (plain) WriteBytes(dir_.lang("zh_CN.lang"), Pack(MainPack({{105, "from lang"}})));

  ::testing::internal::CaptureStdout();
  const std::optional<long> grewMiB =
      memtest::PeakGrowthMiB([] { SetLanguage(2052); });
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Language pack " + path + " skipped: " + c.reason + "\n");
  EXPECT_EQ(GetResString(L"Main", 105, L""), plain ? L"from lang" : L"COM");
  if (grewMiB) {
    EXPECT_LT(*grewMiB, 100);
  }
}

INSTANTIATE_TEST_SUITE_P(Packs, HostilePacks, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return info.param.name; });

}  // namespace
