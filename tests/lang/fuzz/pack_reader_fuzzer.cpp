// Feeds arbitrary bytes to the pack reader as a plain XML pack.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/lang/test_support.h"

namespace {

std::string g_dir;

void RemoveDir() {
    std::filesystem::remove_all(g_dir);
}

const std::string& PackPath() {
    static const std::string path = [] {
        std::string tmpl = "/tmp/corvexa-fuzz-XXXXXX";
        if (mkdtemp(tmpl.data()) == nullptr) std::abort();
        g_dir = tmpl;
        std::atexit(RemoveDir);
        return g_dir + "/p.xml";
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Parse failures are reported on standard output; keep the log readable.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    langtest::WriteBytes(PackPath(), std::string(reinterpret_cast<const char*>(data), size));
    CLanguage lang;
    const int rc = CLanguageTestAccess::Load(lang, PackPath());
    if (rc != 0 && !CLanguageTestAccess::Dump(lang).empty()) std::abort();
    return 0;
}
