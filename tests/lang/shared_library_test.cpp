#include <dlfcn.h>
#include <gtest/gtest.h>

#include <memory>

#include "lang/language.h"
#include "lang/mylzmapack.h"
#include "res/strings/stringtable.h"

// What other modules see: the shared library and its exported names only.
namespace {

TEST(SharedLibrary, ExportsThePublicInterfaceOnly) {
    void* lib = dlopen(CORVEXA_BINARY_DIR "/bin/libcorvexa_lang.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    const struct {
        const char* symbol;
        bool exported;
    } cases[] = {
        {"_Z12InitLanguagev", true},
        {"_Z11SetLanguaget", true},
        {"_Z16GetLangIDSettingv", true},
        {"_Z16SetLangIDSettingt", true},
        {"_Z16GetSupportedLangPSt6vectorI9SLanguageSaIS0_EE", true},
        {"_ZN11CMyLzmaPack8CompressEPPhPjPKhj", true},
        {"_ZN11CMyLzmaPack10UnCompressEPPhPjPKhj", true},
        {"_ZN9CLanguage13InitLanguagesEv", true},
        {"_ZN12CPackXMLFile10GetCurElemEv", true},
        {"g_Language", false},
        {"g_LangTable", false},
        {"_ZN7corvexa3res17LoadBuiltinStringEi", false},
        {"_Z13ScanLangFilesRKNSt7__cxx1112basic_stringIwSt11char_traitsIwESaIwEEES6_b", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(dlsym(lib, c.symbol) != nullptr, c.exported) << c.symbol;
    }
    dlclose(lib);
}

TEST(SharedLibrary, LinkedCallersGetTextsAndPacks) {
    EXPECT_EQ(GetResString(L"Login", 104, L""), L"Factory Version");
    EXPECT_EQ(GetResString(L"Main", 7, L"fallback"), L"fallback");
    EXPECT_EQ(GetSupportedLang(nullptr), -1);
    EXPECT_STREQ(corvexa::res::LoadBuiltinString(101), L"关于 Corvexa(&A)...");

    const uint8_t text[] = "<L/>";
    uint8_t* packed = nullptr;
    uint32_t packedLength = 0;
    ASSERT_EQ(CMyLzmaPack::Compress(&packed, &packedLength, text, 4), 0);
    std::unique_ptr<uint8_t[]> ownPacked(packed);
    uint8_t* back = nullptr;
    uint32_t backLength = 0;
    ASSERT_EQ(CMyLzmaPack::UnCompress(&back, &backLength, packed, packedLength), 0);
    std::unique_ptr<uint8_t[]> ownBack(back);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(back), backLength), "<L/>");
}

}  // namespace
