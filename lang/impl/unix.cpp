#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <memory>

#include "lang/langtable.h"
#include "lang/platform.h"
#include "lang/wtext.h"

namespace corvexa::lang::sys {
namespace {

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};
struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

bool EndsWithNoCase(const std::wstring& name, const std::wstring& suffix) {
  if (name.size() < suffix.size()) return false;
  const size_t off = name.size() - suffix.size();
  for (size_t i = 0; i < suffix.size(); ++i) {
    if (std::towlower(name[off + i]) != std::towlower(suffix[i])) return false;
  }
  return true;
}

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
  for (const std::string& name :
       {code + ".UTF-8", code + ".utf8", code}) {
    if (std::setlocale(LC_CTYPE, name.c_str()) != nullptr) return true;
  }
  return false;
}

std::vector<DirEntry> ListFiles(const std::wstring& folder,
                                const std::wstring& suffix) {
  std::vector<DirEntry> out;
  const std::string dirName = folder.empty() ? "." : ToUtf8(folder);
  std::unique_ptr<DIR, DirCloser> dir(opendir(dirName.c_str()));
  if (!dir) return out;
  while (const dirent* e = readdir(dir.get())) {
    const std::wstring name = FromUtf8(e->d_name);
    if (!EndsWithNoCase(name, suffix)) continue;
    struct stat st {};
    const std::string full = dirName + "/" + e->d_name;
    const bool isDir = stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    out.push_back({name, isDir});
  }
  return out;
}

bool CanOpenForReading(const std::wstring& path) {
  struct stat st {};
  const std::string p = ToUtf8(path);
  // fopen succeeds on a folder here, unlike on Windows.
  if (stat(p.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return FilePtr(std::fopen(p.c_str(), "rb")) != nullptr;
}

bool ReadWholeFile(const std::wstring& path, std::vector<uint8_t>* bytes) {
  const std::string p = ToUtf8(path);
  struct stat st {};
  if (stat(p.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  FilePtr f(std::fopen(p.c_str(), "rb"));
  if (!f) return false;
  bytes->clear();
  uint8_t chunk[65536];
  size_t n = 0;
  bytes->reserve(static_cast<size_t>(st.st_size));
  while ((n = std::fread(chunk, 1, sizeof chunk, f.get())) > 0) {
    bytes->insert(bytes->end(), chunk, chunk + n);
  }
  return std::ferror(f.get()) == 0;
}

bool FileExists(const std::wstring& path) {
  struct stat st {};
  return stat(ToUtf8(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsWritableDirectory(const std::wstring& path) {
  const std::string p = path.empty() ? "." : ToUtf8(path);
  struct stat st {};
  return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         access(p.c_str(), W_OK | X_OK) == 0;
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
  const mode_t mode =
      stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
  bool ok = fchmod(fd, mode) == 0;
  size_t done = 0;
  while (ok && done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else done += static_cast<size_t>(n);
  }
  ok = ok && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  ok = ok && rename(tmp.c_str(), target.c_str()) == 0;
  if (!ok) unlink(tmp.c_str());
  return ok;
}

}  // namespace corvexa::lang::sys
