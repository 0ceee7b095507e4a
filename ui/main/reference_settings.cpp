#include "ui/main/reference_settings.h"

#include <QDate>
#include <QString>

#include "lang/language.h"

namespace {

constexpr char kSection[] = "References";
// A bench keeps a handful; the bound keeps a damaged file from filling the table.
constexpr int kMaxReferences = 50;

}  // namespace

std::vector<SReferenceEntry> LoadReferences() {
    std::vector<SReferenceEntry> entries;
    const int count = std::min(QString::fromStdWString(GetTextSetting(kSection, "Count")).toInt(),
                               kMaxReferences);
    for (int i = 1; i <= count; ++i) {
        const std::string key = std::to_string(i);
        const auto instrument = protocol::DecodeReference(
            QString::fromStdWString(GetTextSetting(kSection, key)).toStdString());
        if (!instrument) continue;
        entries.push_back({*instrument, GetTextSetting(kSection, "Used" + key) == L"1"});
    }
    return entries;
}

void SaveReferences(const std::vector<SReferenceEntry>& references) {
    const int count = static_cast<int>(std::min<std::size_t>(references.size(), kMaxReferences));
    SetTextSetting(kSection, "Count", std::to_wstring(count));
    for (int i = 0; i < count; ++i) {
        const std::string key = std::to_string(i + 1);
        SetTextSetting(kSection, key,
                       QString::fromStdString(protocol::EncodeReference(references[i].instrument))
                           .toStdWString());
        SetTextSetting(kSection, "Used" + key, references[i].used ? L"1" : L"0");
    }
}

std::string TodayText() {
    return QDate::currentDate().toString(Qt::ISODate).toStdString();
}
