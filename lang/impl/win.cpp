#include <windows.h>

#include <locale.h>
#include <wchar.h>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "lang/platform.h"

namespace corvexa::lang::sys {
namespace {

struct FindCloser {
    void operator()(HANDLE h) const { FindClose(h); }
};
struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

struct HandleCloser {
    void operator()(HANDLE h) const { CloseHandle(h); }
};

DWORD Attributes(const std::wstring& path) {
    return GetFileAttributesW(path.c_str());
}

}  // namespace

std::wstring ExecutablePath() {
    // MAX_PATH characters; a path that fills the buffer was cut and is unusable.
    wchar_t buf[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    return std::wstring(buf, n);
}

uint32_t UserDefaultLangId() {
    return GetUserDefaultLCID();
}

void SetThreadLocaleId(uint32_t localeId) {
    SetThreadLocale(localeId);
}

bool SetCtypeLocale(const SLanguage& row) {
    // ".936" selects the code page of the language as the ANSI locale.
    wchar_t name[16];
    swprintf(name, 16, L".%u", row.nCodePage);
    return _wsetlocale(LC_CTYPE, name) != nullptr;
}

std::vector<DirEntry> ListFiles(const std::wstring& folder, const std::wstring& suffix) {
    std::vector<DirEntry> out;
    const std::wstring pattern = folder + L"*" + suffix;
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(pattern.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return out;
    std::unique_ptr<void, FindCloser> guard(h);
    do {
        out.push_back({data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (FindNextFileW(h, &data));
    return out;
}

namespace {

// Opens path for reading when it is a disk file (not a folder, pipe or
// device) and tells its size.
FileRead OpenRegular(const std::wstring& path, FilePtr* file, uint64_t* size) {
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info)) {
        const DWORD err = GetLastError();
        return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND ? FileRead::kMissing
                                                                          : FileRead::kFailed;
    }
    if ((info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0)
        return FileRead::kNotAFile;
    file->reset(_wfopen(path.c_str(), L"rb"));
    if (!*file) return FileRead::kFailed;
    *size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    return FileRead::kOk;
}

}  // namespace

FileRead ProbeFile(const std::wstring& path) {
    FilePtr f;
    uint64_t size = 0;
    return OpenRegular(path, &f, &size);
}

FileRead ReadWholeFile(const std::wstring& path, std::size_t maxBytes,
                       std::vector<uint8_t>* bytes) {
    FilePtr f;
    uint64_t size = 0;
    const FileRead opened = OpenRegular(path, &f, &size);
    if (opened != FileRead::kOk) return opened;
    if (size > maxBytes) return FileRead::kTooLarge;
    bytes->clear();
    bytes->reserve(static_cast<size_t>(size));
    uint8_t chunk[65536];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, f.get())) > 0) {
        // The file may have grown since it was measured.
        if (bytes->size() + n > maxBytes) return FileRead::kTooLarge;
        bytes->insert(bytes->end(), chunk, chunk + n);
    }
    return std::ferror(f.get()) == 0 ? FileRead::kOk : FileRead::kFailed;
}

bool FileExists(const std::wstring& path) {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsWritableDirectory(const std::wstring& path) {
    // Access rights on Windows are a matter of ACLs; creating a file is the
    // only reliable test.
    const std::wstring dir = path.empty() ? L"." : path;
    wchar_t probe[MAX_PATH];
    if (GetTempFileNameW(dir.c_str(), L"cvx", 0, probe) == 0) return false;
    DeleteFileW(probe);
    return true;
}

std::wstring UserConfigFolder() {
    const wchar_t* appData = _wgetenv(L"APPDATA");
    if (appData == nullptr || *appData == 0) return {};
    return std::wstring(appData) + L"\\corvexa\\";
}

bool MakeDirectories(const std::wstring& path) {
    for (size_t pos = 3; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != L'\\' && path[pos] != L'/') continue;
        const std::wstring part = path.substr(0, pos);
        if (!CreateDirectoryW(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    return IsWritableDirectory(path);
}

bool AtomicReplaceFile(const std::wstring& path, const std::string& bytes) {
    const std::wstring tmp = path + L".tmp";
    HANDLE h = CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    {
        std::unique_ptr<void, HandleCloser> guard(h);
        size_t done = 0;
        while (ok && done < bytes.size()) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(
                bytes.size() - done > 0x10000000 ? 0x10000000 : bytes.size() - done);
            ok = WriteFile(h, bytes.data() + done, chunk, &written, nullptr) && written > 0;
            done += written;
        }
        ok = ok && FlushFileBuffers(h);
    }
    ok = ok &&
         MoveFileExW(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) DeleteFileW(tmp.c_str());
    return ok;
}

}  // namespace corvexa::lang::sys
