#include "lang/pack_limits.h"

#include <cstdio>

#include "base/wide_text.h"

namespace corvexa::lang {

void ReportSkippedPack(const std::wstring& path, const char* reason) {
    std::printf("Language pack %s skipped: %s\n", base::ToUtf8(path).c_str(), reason);
    std::fflush(stdout);
}

const char* FileReadReason(sys::FileRead outcome) {
    switch (outcome) {
        case sys::FileRead::kOk:
            return "read";
        case sys::FileRead::kMissing:
            return "no such file";
        case sys::FileRead::kNotAFile:
            return "not a regular file";
        case sys::FileRead::kTooLarge:
            return "larger than 64 MiB";
        case sys::FileRead::kFailed:
            break;
    }
    return "cannot be read";
}

}  // namespace corvexa::lang
