#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "base/ascii_case.h"
#include "base/unique_fd.h"
#include "base/wide_text.h"
#include "lang/langtable.h"
#include "lang/platform.h"

namespace corvexa::lang::sys {

using base::FromUtf8;
using base::ToUtf8;
using base::UniqueFd;

namespace {

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};

const char* NonEmptyEnv(const char* name) {
    const char* v = std::getenv(name);
    return (v != nullptr && *v != 0) ? v : nullptr;
}

}  // namespace

std::wstring ExecutablePath() {
    // PATH_MAX-sized like the 260 characters of the original buffer, but a
    // truncated link is treated as a failure rather than used cut short.
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof buf) return {};
    return FromUtf8(std::string_view(buf, static_cast<size_t>(n)));
}

uint32_t UserDefaultLangId() {
    // LC_ALL overrides LC_MESSAGES, which overrides LANG (POSIX order).
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (const char* v = NonEmptyEnv(var)) {
            const uint16_t id = LangIdFromPosixLocale(v);
            return id != 0 ? id : 1033;
        }
    }
    return 1033;
}

// Threads here have no locale of their own beyond the C library's.
void SetThreadLocaleId(uint32_t) {}

bool SetCtypeLocale(const SLanguage& row) {
    const std::string code = ToUtf8(row.szLocale);
    // Wide text is UTF-32 whatever the locale, so any UTF-8 locale of the
    // language serves; the legacy code pages of the table have no meaning.
    for (const std::string& name : {code + ".UTF-8", code + ".utf8", code}) {
        if (std::setlocale(LC_CTYPE, name.c_str()) != nullptr) return true;
    }
    return false;
}

std::vector<DirEntry> ListFiles(const std::wstring& folder, const std::wstring& suffix) {
    std::vector<DirEntry> out;
    const std::string dirName = folder.empty() ? "." : ToUtf8(folder);
    std::unique_ptr<DIR, DirCloser> dir(opendir(dirName.c_str()));
    if (!dir) return out;
    while (const dirent* e = readdir(dir.get())) {
        const std::wstring name = FromUtf8(e->d_name);
        if (!base::EndsWithAsciiNoCase(name, suffix)) continue;
        struct stat st {};
        const std::string full = dirName + "/" + e->d_name;
        const bool isDir = stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        out.push_back({name, isDir});
    }
    return out;
}

namespace {

// Opens path for reading without ever blocking in open() (a FIFO without a
// writer would), and only if it is a regular file.
FileRead OpenRegular(const std::string& path, UniqueFd* fd, off_t* size) {
    fd->reset(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd->get() < 0) return errno == ENOENT ? FileRead::kMissing : FileRead::kFailed;
    struct stat st {};
    if (fstat(fd->get(), &st) != 0) return FileRead::kFailed;
    if (!S_ISREG(st.st_mode)) return FileRead::kNotAFile;
    *size = st.st_size;
    return FileRead::kOk;
}

}  // namespace

FileRead ProbeFile(const std::wstring& path) {
    UniqueFd fd;
    off_t size = 0;
    return OpenRegular(ToUtf8(path), &fd, &size);
}

FileRead ReadWholeFile(const std::wstring& path, std::size_t maxBytes,
                       std::vector<uint8_t>* bytes) {
    UniqueFd fd;
    off_t size = 0;
    const FileRead opened = OpenRegular(ToUtf8(path), &fd, &size);
    if (opened != FileRead::kOk) return opened;
    if (static_cast<std::uintmax_t>(size) > maxBytes) return FileRead::kTooLarge;
    bytes->clear();
    bytes->reserve(static_cast<size_t>(size));
    uint8_t chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return FileRead::kFailed;
        if (n == 0) return FileRead::kOk;
        // The file may have grown since it was measured.
        if (bytes->size() + static_cast<size_t>(n) > maxBytes) return FileRead::kTooLarge;
        bytes->insert(bytes->end(), chunk, chunk + n);
    }
}

bool FileExists(const std::wstring& path) {
    struct stat st {};
    return stat(ToUtf8(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsWritableDirectory(const std::wstring& path) {
    const std::string p = path.empty() ? "." : ToUtf8(path);
    struct stat st {};
    return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && access(p.c_str(), W_OK | X_OK) == 0;
}

std::wstring UserConfigFolder() {
    std::string base;
    if (const char* xdg = NonEmptyEnv("XDG_CONFIG_HOME")) {
        base = xdg;
    } else if (const char* home = NonEmptyEnv("HOME")) {
        base = std::string(home) + "/.config";
    } else {
        return {};
    }
    return FromUtf8(base + "/corvexa/");
}

bool MakeDirectories(const std::wstring& path) {
    const std::string p = ToUtf8(path);
    for (size_t pos = 1; pos <= p.size(); ++pos) {
        if (pos != p.size() && p[pos] != '/') continue;
        const std::string part = p.substr(0, pos);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    return IsWritableDirectory(path);
}

}  // namespace corvexa::lang::sys

namespace corvexa::lang::sys {

bool AtomicReplaceFile(const std::wstring& path, const std::string& bytes) {
    const std::string target = ToUtf8(path);
    std::string tmp = target + ".XXXXXX";
    const int fd = mkstemp(tmp.data());
    if (fd < 0) return false;
    struct stat st {};
    const mode_t mode = stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    bool ok = fchmod(fd, mode) == 0;
    size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            ok = false;
        else
            done += static_cast<size_t>(n);
    }
    ok = ok && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    ok = ok && rename(tmp.c_str(), target.c_str()) == 0;
    if (!ok) unlink(tmp.c_str());
    return ok;
}

}  // namespace corvexa::lang::sys
