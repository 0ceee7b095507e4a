// Prints the load time of a 1 MiB language pack as plain XML and as a
// .lang container, and the cost of one text lookup.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "lang/language.h"
#include "tests/lang/test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string MegabytePack() {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Lang>\n";
    for (int g = 0; xml.size() < (1u << 20); ++g) {
        xml += "<Group name=\"G" + std::to_string(g) + "\">\n";
        for (int id = 101; id <= 151; ++id) {
            xml += "<IDS id=\"" + std::to_string(id) + "\">零点输出值调整 text " +
                   std::to_string(g * 1000 + id) + "</IDS>\n";
        }
        xml += "</Group>\n";
    }
    return xml + "</Lang>\n";
}

double MedianMs(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double TimeLoad(const std::string& path, int runs) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        CLanguage lang;
        const auto t0 = Clock::now();
        if (CLanguageTestAccess::Load(lang, path) != 0) {
            std::fprintf(stderr, "load of %s failed\n", path.c_str());
            return -1;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    return MedianMs(ms);
}

}  // namespace

int main() {
    langtest::TempDir dir;
    const std::string xml = MegabytePack();
    const std::string packed = langtest::Pack(xml);
    langtest::WriteBytes(dir.lang("big.xml"), xml);
    langtest::WriteBytes(dir.lang("big.lang"), packed);
    std::printf("pack: %zu bytes XML, %zu bytes packed\n", xml.size(), packed.size());
    std::printf("load .xml : %8.2f ms (median of 9)\n", TimeLoad(dir.lang("big.xml"), 9));
    std::printf("load .lang: %8.2f ms (median of 9)\n", TimeLoad(dir.lang("big.lang"), 9));

    // Lookups through the public function, against the loaded 1 MiB pack.
    CLanguageTestAccess::SetProgramFolder(g_Language, dir.str());
    langtest::WriteBytes(dir.lang("zh_CN.lang"), packed);
    SetLanguage(2052);
    constexpr int kLookups = 1000000;
    size_t sink = 0;
    const auto t0 = Clock::now();
    for (int i = 0; i < kLookups; ++i) {
        sink += GetResString(L"G" + std::to_wstring(i % 100), 101 + i % 51, L"").size();
    }
    const double ns =
        std::chrono::duration<double, std::nano>(Clock::now() - t0).count() / kLookups;
    const auto t1 = Clock::now();
    for (int i = 0; i < kLookups; ++i) sink += GetResString(L"Main", 131, L"").size();
    const double nsFallback =
        std::chrono::duration<double, std::nano>(Clock::now() - t1).count() / kLookups;
    std::printf("GetResString, pack text   : %6.1f ns per call (incl. group name build)\n", ns);
    std::printf("GetResString, built-in    : %6.1f ns per call\n", nsFallback);
    return sink == 0 ? 1 : 0;
}
