// corvexa-langpack: packs a translator's XML file into a .lang container,
// or unpacks one again.
//   corvexa-langpack IN.xml OUT.lang
//   corvexa-langpack --unpack IN.lang OUT.xml

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "lang/mylzmapack.h"

namespace {

enum class Input { kRead, kUnreadable, kTooLarge };

// Reads at most maxBytes; a file's size is checked before any of it is
// read, so a huge (or sparse) file is refused at once. Pipes are read up
// to the limit.
Input ReadFile(const char* path, size_t maxBytes, std::vector<uint8_t>* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Input::kUnreadable;
    std::error_code ec;
    const std::filesystem::path p(path);
    if (std::filesystem::is_regular_file(p, ec) && std::filesystem::file_size(p, ec) > maxBytes &&
        !ec)
        return Input::kTooLarge;
    bytes->clear();
    char chunk[65536];
    while (in.read(chunk, sizeof chunk), in.gcount() > 0) {
        const size_t n = static_cast<size_t>(in.gcount());
        if (bytes->size() + n > maxBytes) return Input::kTooLarge;
        bytes->insert(bytes->end(), chunk, chunk + n);
    }
    return in.bad() ? Input::kUnreadable : Input::kRead;
}

bool WriteFile(const char* path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    return static_cast<bool>(out);
}

constexpr char kUsage[] =
    "usage: corvexa-langpack IN.xml OUT.lang\n"
    "       corvexa-langpack --unpack IN.lang OUT.xml\n"
    "Packs a language file (XML) into the compressed form the program loads, or unpacks one.\n"
    "  --help     show this text\n"
    "  --version  show the version\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("corvexa-langpack " CORVEXA_VERSION);
        return 0;
    }
    const bool unpack = argc == 4 && std::strcmp(argv[1], "--unpack") == 0;
    if (!(argc == 3 || unpack)) return Usage();
    const char* inPath = argv[unpack ? 2 : 1];
    const char* outPath = argv[unpack ? 3 : 2];

    std::vector<uint8_t> input;
    const Input read = ReadFile(inPath, CMyLzmaPack::kMaxUnpackedSize, &input);
    if (read == Input::kUnreadable) {
        std::fprintf(stderr, "corvexa-langpack: cannot read %s\n", inPath);
        return 1;
    }
    if (read == Input::kTooLarge) {
        std::fprintf(stderr, "corvexa-langpack: %s is too large\n", inPath);
        return 1;
    }
    uint8_t* raw = nullptr;
    uint32_t length = 0;
    const uint32_t inLength = static_cast<uint32_t>(input.size());
    const int rc = unpack ? CMyLzmaPack::UnCompress(&raw, &length, input.data(), inLength)
                          : CMyLzmaPack::Compress(&raw, &length, input.data(), inLength);
    std::unique_ptr<uint8_t[]> output(raw);
    if (rc != 0) {
        std::fprintf(stderr, "corvexa-langpack: %s failed for %s (LZMA code %d)\n",
                     unpack ? "unpacking" : "packing", inPath, rc);
        return 1;
    }
    if (!WriteFile(outPath, output.get(), length)) {
        std::fprintf(stderr, "corvexa-langpack: cannot write %s\n", outPath);
        return 1;
    }
    return 0;
}
