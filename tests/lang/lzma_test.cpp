#include <gtest/gtest.h>
#include <lzma.h>

#include <cstdio>
#include <random>

#include "tests/lang/test_support.h"

using langtest::Pack;
using langtest::TempDir;
using langtest::WriteBytes;

namespace {

struct Buffer {
    uint8_t* data = nullptr;
    uint32_t size = 0;
    ~Buffer() { delete[] data; }
};

int Unpack(const std::string& container, Buffer* out) {
    return CMyLzmaPack::UnCompress(&out->data, &out->size,
                                   reinterpret_cast<const uint8_t*>(container.data()),
                                   static_cast<uint32_t>(container.size()));
}

std::string RandomBytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen());
    return s;
}

std::string TextBytes(size_t n) {
    std::string s;
    for (int i = 0; s.size() < n; ++i)
        s += "<IDS id=\"" + std::to_string(i) + "\">text number " +
             std::to_string(i * 7919 % 1000) + "</IDS>\n";
    s.resize(n);
    return s;
}

TEST(Container, RoundTripKeepsEveryByte) {
    // Inputs of a few bytes included: their stream is longer than twice them.
    const std::string inputs[] = {"x",
                                  "<a/>",
                                  TextBytes(1000),
                                  RandomBytes(100000, 1),
                                  std::string(1 << 20, 'a'),
                                  TextBytes(1 << 20)};
    for (const std::string& input : inputs) {
        const std::string packed = Pack(input);
        ASSERT_GE(packed.size(), 10u) << input.size();
        Buffer out;
        ASSERT_EQ(Unpack(packed, &out), 0) << input.size();
        EXPECT_EQ(std::string(reinterpret_cast<char*>(out.data), out.size), input);
    }
}

TEST(Container, HeaderCarriesSizeAndFixedProperties) {
    const std::string packed = Pack(TextBytes(0x012345));
    const std::string expected(
        "\x45\x23\x01\x00"
        "\x00"
        "\x5D\x00\x00\x80\x00",
        10);
    EXPECT_EQ(packed.substr(0, 10), expected);
}

// A header may claim any dictionary up to 4 GiB; the stream still decodes
// with one no larger than its output.
TEST(Container, OversizedDictionaryInHeaderStillDecodes) {
    const std::string input = TextBytes(30000);
    std::string packed = Pack(input);
    packed.replace(6, 4, "\xFF\xFF\xFF\xFF", 4);
    Buffer out;
    ASSERT_EQ(Unpack(packed, &out), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out.data), out.size), input);
}

TEST(Container, EmptyInputFailsAndAllocatesNothing) {
    uint8_t sentinel = 0;
    uint8_t* out = &sentinel;
    uint32_t len = 77;
    const uint8_t in = 0;
    EXPECT_NE(CMyLzmaPack::Compress(&out, &len, &in, 0), 0);
    EXPECT_EQ(out, &sentinel);
    EXPECT_EQ(len, 77u);
}

// xz reads the same stream once it has the 13-byte .lzma header: the
// properties, then the unpacked size as 64 bits.
TEST(Container, StreamDecodesWithAnIndependentDecoder) {
    const std::string input = TextBytes(50000);
    const std::string packed = Pack(input);
    std::string alone = packed.substr(5, 5);
    alone += packed.substr(0, 4) + std::string(4, '\0');
    alone += packed.substr(10);
    TempDir dir;
    WriteBytes(dir.file("t.lzma"), alone);
    const std::string cmd = "xz --format=lzma -dc " + dir.file("t.lzma");
    FILE* pipe = popen(cmd.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string decoded;
    char buf[4096];
    size_t n = 0;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) decoded.append(buf, n);
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(decoded, input);
}

// Other packers end the stream with a marker; such packs must load too.
TEST(Container, StreamWithEndMarkerIsRead) {
    const std::string input = TextBytes(20000);
    lzma_options_lzma opt;
    ASSERT_FALSE(lzma_lzma_preset(&opt, 6));
    lzma_stream strm = LZMA_STREAM_INIT;
    ASSERT_EQ(lzma_alone_encoder(&strm, &opt), LZMA_OK);
    std::string alone(input.size() + 1000, '\0');
    strm.next_in = reinterpret_cast<const uint8_t*>(input.data());
    strm.avail_in = input.size();
    strm.next_out = reinterpret_cast<uint8_t*>(alone.data());
    strm.avail_out = alone.size();
    ASSERT_EQ(lzma_code(&strm, LZMA_FINISH), LZMA_STREAM_END);
    alone.resize(strm.total_out);
    lzma_end(&strm);

    const uint32_t size = static_cast<uint32_t>(input.size());
    std::string container(reinterpret_cast<const char*>(&size), 4);
    container += '\0' + alone.substr(0, 5) + alone.substr(13);
    Buffer out;
    ASSERT_EQ(Unpack(container, &out), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out.data), out.size), input);
}

struct Damage {
    const char* name;
    std::string (*apply)(std::string);
};

const Damage kDamages[] = {
    {"TruncatedStream", [](std::string s) { return s.substr(0, s.size() / 2); }},
    {"HeaderOnly", [](std::string s) { return s.substr(0, 10); }},
    {"NineBytes", [](std::string s) { return s.substr(0, 9); }},
    {"NoBytes", [](std::string) { return std::string(); }},
    {"SizeAllOnes", [](std::string s) { return s.replace(0, 4, "\xFF\xFF\xFF\xFF", 4); }},
    {"SizeTooLarge", [](std::string s) { return s.replace(0, 4, "\x00\x00\x00\x10", 4); }},
    {"SizeTooSmall", [](std::string s) { return s.replace(0, 4, "\x10\x00\x00\x00", 4); }},
    {"BadProperties",
     [](std::string s) {
         s[5] = '\xFF';
         return s;
     }},
    {"FlippedByte",
     [](std::string s) {
         s[s.size() / 2] = static_cast<char>(s[s.size() / 2] ^ 0x55);
         return s;
     }},
};

void PrintTo(const Damage& d, std::ostream* os) {
    *os << d.name;
}

class DamagedContainer : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedContainer, LoadFailsWithoutTexts) {
    const std::string xml =
        langtest::MainPack({{131, "pack text"}}) + "<!--" + TextBytes(4000) + "-->";
    const std::string bad = GetParam().apply(Pack(xml));
    TempDir dir;
    WriteBytes(dir.lang("zh_CN.lang"), bad);
    CLanguage lang;
    ::testing::internal::CaptureStdout();
    const int rc = CLanguageTestAccess::Load(lang, dir.lang("zh_CN.lang"));
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(rc, -1);
    EXPECT_TRUE(CLanguageTestAccess::Dump(lang).empty());
}

INSTANTIATE_TEST_SUITE_P(Damages, DamagedContainer, ::testing::ValuesIn(kDamages),
                         [](const auto& info) { return info.param.name; });

TEST(Container, PackedAndPlainPacksLoadAlike) {
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><L><Group name=\"Main\">"
        "<IDS id=\"105\">串口</IDS><IDS id=\"131\">修改\n</IDS></Group>"
        "<Group name=\"Login\"><IDS id=\"103\">用户版</IDS></Group></L>";
    TempDir dir;
    WriteBytes(dir.lang("zh_CN.xml"), xml);
    WriteBytes(dir.lang("zh_CN.lang"), Pack(xml));
    CLanguage plain;
    CLanguage packed;
    ASSERT_EQ(CLanguageTestAccess::Load(plain, dir.lang("zh_CN.xml")), 0);
    ASSERT_EQ(CLanguageTestAccess::Load(packed, dir.lang("zh_CN.lang")), 0);
    EXPECT_EQ(CLanguageTestAccess::Dump(packed), CLanguageTestAccess::Dump(plain));
    EXPECT_EQ(CLanguageTestAccess::Dump(packed).size(), 2u);
}

TEST(PackTool, PacksAndUnpacksAFile) {
    const std::string tool = CORVEXA_BINARY_DIR "/bin/corvexa-langpack";
    const std::string xml = langtest::MainPack({{105, "串口"}});
    TempDir dir;
    WriteBytes(dir.file("in.xml"), xml);
    ASSERT_EQ(std::system((tool + " " + dir.file("in.xml") + " " + dir.file("out.lang")).c_str()),
              0);
    ASSERT_EQ(
        std::system(
            (tool + " --unpack " + dir.file("out.lang") + " " + dir.file("back.xml")).c_str()),
        0);
    EXPECT_EQ(langtest::ReadBytes(dir.file("back.xml")), xml);
    EXPECT_EQ(langtest::ReadBytes(dir.file("out.lang")), Pack(xml));
    // A damaged container is reported, not written out.
    WriteBytes(dir.file("bad.lang"), "short");
    EXPECT_NE(std::system((tool + " --unpack " + dir.file("bad.lang") + " " + dir.file("bad.xml") +
                           " 2>/dev/null")
                              .c_str()),
              0);
    EXPECT_FALSE(langtest::ReadBytes(dir.file("bad.xml")).has_value());
    // A huge (here sparse) input is refused by its size, not read whole.
    WriteBytes(dir.file("huge.xml"), "");
    ASSERT_EQ(truncate(dir.file("huge.xml").c_str(), 40LL << 30), 0);
    EXPECT_EQ(std::system(
                  (tool + " " + dir.file("huge.xml") + " " + dir.file("huge.lang") + " 2>/dev/null")
                      .c_str()),
              1 << 8);  // exit status 1, no abort
    EXPECT_FALSE(langtest::ReadBytes(dir.file("huge.lang")).has_value());
}

}  // namespace
