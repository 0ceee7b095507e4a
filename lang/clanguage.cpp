#include "lang/clanguage.h"

#include <string>

#include "base/ascii_case.h"
#include "base/wide_text.h"
#include "lang/langtable.h"
#include "lang/pack_limits.h"
#include "lang/platform.h"
#include "lang/profile.h"

namespace {

constexpr size_t kBuckets = 257;
constexpr char kSection[] = "Localize";
constexpr char kKey[] = "Language";
constexpr wchar_t kSettingsFile[] = L"McSetting.ini";

bool g_scanned = false;

void MarkPacksIn(const std::wstring& folder) {
    static const std::wstring kSuffix = L".lang";
    for (const corvexa::lang::sys::DirEntry& e : corvexa::lang::sys::ListFiles(folder, kSuffix)) {
        if (e.isDirectory) continue;
        const std::wstring base = e.name.substr(0, e.name.size() - kSuffix.size());
        for (SLanguage* row = g_LangTable; row->wLangID != 0; ++row) {
            if (corvexa::base::EqualsAsciiNoCase(base, row->szLocale)) {
                row->bSupported = 1;
                break;
            }
        }
    }
}

}  // namespace

void ScanLangFiles(const std::wstring& first, const std::wstring& second, bool force) {
    if (g_scanned && !force) return;
    g_scanned = true;
    MarkPacksIn(first);
    // The second folder is visited whether or not the first held anything.
    if (!corvexa::base::EqualsAsciiNoCase(first, second)) MarkPacksIn(second);
}

void CLanguage::ForgetPackScan() {
    g_scanned = false;
    for (SLanguage* row = g_LangTable; row->wLangID != 0; ++row) row->bSupported = 0;
}

CLanguage::CLanguage() : m_mapGroups(kBuckets) {
    const std::wstring exe = corvexa::lang::sys::ExecutablePath();
    const size_t slash = exe.find_last_of(L"/\\");
    if (slash != std::wstring::npos) m_strModulePath = exe.substr(0, slash + 1);
}

CLanguage::~CLanguage() {
    CleanLangMap();
}

std::wstring CLanguage::PackFolder() const {
    return m_strModulePath + L"lang/";
}

void CLanguage::InitLanguages() {
    ScanLangFiles(PackFolder(), L"", false);
    const uint16_t id = GetLangIDSetting();
    SetLanguage(IsSupported(id) != 0 ? id : 1033);
}

int CLanguage::IsSupported(uint32_t localeId) const {
    const SLanguage* row = corvexa::lang::FindLangRow(localeId);
    return row != nullptr ? row->bSupported : 0;
}

// The settings are the user's: they are written only to the user's config
// folder, never beside the program (which, installed, is /usr/lib/corvexa
// and read by every user). A file beside the program is read as the
// defaults a site gives every user, key by key, where the user's file says
// nothing.
std::wstring CLanguage::DefaultsPath() const {
    return m_strModulePath + kSettingsFile;
}

std::wstring CLanguage::UserSettingsPath() const {
    const std::wstring user = corvexa::lang::sys::UserConfigFolder();
    return user.empty() ? std::wstring() : user + kSettingsFile;
}

std::wstring CLanguage::SettingsPathForWriting() const {
    const std::wstring user = corvexa::lang::sys::UserConfigFolder();
    if (user.empty() || !corvexa::lang::sys::MakeDirectories(user)) return {};
    return user + kSettingsFile;
}

uint16_t CLanguage::GetLangIDSetting() const {
    uint32_t value = corvexa::lang::GetPrivateProfileInt(
        kSection, kKey, corvexa::lang::sys::UserDefaultLangId(), DefaultsPath());
    if (const std::wstring user = UserSettingsPath(); !user.empty())
        value = corvexa::lang::GetPrivateProfileInt(kSection, kKey, value, user);
    return static_cast<uint16_t>(value & 0xFFFF);
}

void CLanguage::SetLangIDSetting(uint16_t langId) {
    const std::wstring path = SettingsPathForWriting();
    if (path.empty()) return;
    // Like the platform call it stands in for, a failed write is not reported.
    corvexa::lang::WritePrivateProfileString(kSection, kKey, std::to_string(langId), path);
}

std::wstring CLanguage::GetTextSetting(const std::string& section, const std::string& key) const {
    std::optional<std::string> value;
    if (const std::wstring user = UserSettingsPath(); !user.empty())
        value = corvexa::lang::GetPrivateProfileText(section, key, user);
    if (!value) value = corvexa::lang::GetPrivateProfileText(section, key, DefaultsPath());
    return value ? corvexa::base::FromUtf8(*value) : std::wstring();
}

void CLanguage::SetTextSetting(const std::string& section, const std::string& key,
                               const std::wstring& value) {
    const std::wstring path = SettingsPathForWriting();
    if (path.empty()) return;
    // A line break would end the entry early and put the rest into the file
    // as lines of its own.
    std::wstring line = value;
    for (wchar_t& c : line)
        if (c == L'\n' || c == L'\r') c = L' ';
    corvexa::lang::WritePrivateProfileString(section, key, corvexa::base::ToUtf8(line), path);
}

std::wstring CLanguage::GetLangXMLNameByID(uint16_t langId) const {
    const SLanguage* row = corvexa::lang::FindLangRow(langId);
    if (row == nullptr) return {};
    const std::wstring xml = std::wstring(row->szLocale) + L".xml";
    // Only a regular file is a pack: a FIFO of that name would block start-up.
    const corvexa::lang::sys::FileRead probe = corvexa::lang::sys::ProbeFile(PackFolder() + xml);
    if (probe == corvexa::lang::sys::FileRead::kOk) return xml;
    if (probe != corvexa::lang::sys::FileRead::kMissing) {
        corvexa::lang::ReportSkippedPack(PackFolder() + xml, corvexa::lang::FileReadReason(probe));
    }
    return std::wstring(row->szLocale) + L".lang";
}

int CLanguage::SetLanguage(uint16_t langId) {
    const std::wstring name = GetLangXMLNameByID(langId);
    CleanLangMap();
    // No table row, no pack: the folder itself is nothing to read.
    int result = name.empty() ? -1 : LoadResStringFromXML(PackFolder() + name);
    // A plain pack that could not be used gives way to the packed one.
    static const std::wstring kPlain = L".xml";
    if (result != 0 && name.size() > kPlain.size() &&
        name.compare(name.size() - kPlain.size(), kPlain.size(), kPlain) == 0) {
        const std::wstring packed = name.substr(0, name.size() - kPlain.size()) + L".lang";
        result = LoadResStringFromXML(PackFolder() + packed);
    }
    if (result == 0) {
        // A locale id made from a language id and the default sort order is
        // numerically the language id.
        corvexa::lang::sys::SetThreadLocaleId(langId);
        SetRtlLocale(langId);
        SetLangIDSetting(langId);
    }
    return 0;
}

void CLanguage::SetRtlLocale(uint32_t localeId) {
    const SLanguage* row = corvexa::lang::FindLangRow(localeId & 0xFFFF);
    if (row == nullptr || row->nCodePage == 0) return;
    // No installed locale of the language is not an error worth reporting.
    corvexa::lang::sys::SetCtypeLocale(*row);
}

void CLanguage::CleanLangMap() {
    m_mapGroups.clear();
}

std::wstring CLanguage::GetResString(const std::wstring& group, int id) const {
    const auto g = m_mapGroups.find(group);
    if (g == m_mapGroups.end()) return {};
    const auto t = g->second->find(id);
    return t == g->second->end() ? std::wstring() : t->second;
}
