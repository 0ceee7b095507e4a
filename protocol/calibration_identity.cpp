#include "protocol/calibration_identity.h"

#include <algorithm>

namespace protocol {

std::string ReferenceKindName(ReferenceKind kind) {
    return kind == ReferenceKind::InputSource ? "source" : "meter";
}

std::optional<ReferenceKind> ParseReferenceKind(std::string_view name) {
    if (name == "meter") return ReferenceKind::OutputMeter;
    if (name == "source") return ReferenceKind::InputSource;
    return std::nullopt;
}

bool ValidDate(std::string_view date) {
    if (date.size() != 10 || date[4] != '-' || date[7] != '-') return false;
    const auto digits = [&](std::size_t from, std::size_t count) {
        int value = 0;
        for (std::size_t i = from; i < from + count; ++i) {
            if (date[i] < '0' || date[i] > '9') return -1;
            value = value * 10 + (date[i] - '0');
        }
        return value;
    };
    const int year = digits(0, 4), month = digits(5, 2), day = digits(8, 2);
    if (year < 1900 || month < 1 || month > 12 || day < 1) return false;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

bool ReferenceExpired(const ReferenceInstrument& reference, std::string_view today) {
    // Dates in this form order as text.
    return !ValidDate(reference.calibratedUntil) ||
           std::string_view(reference.calibratedUntil) < today;
}

namespace {

std::string WithoutBars(std::string text) {
    std::replace(text.begin(), text.end(), '|', '/');
    return text;
}

}  // namespace

std::string EncodeReference(const ReferenceInstrument& r) {
    return WithoutBars(r.name) + "|" + WithoutBars(r.model) + "|" + WithoutBars(r.serial) + '|' +
           WithoutBars(r.calibratedUntil) + "|" + ReferenceKindName(r.kind);
}

std::optional<ReferenceInstrument> DecodeReference(std::string_view text) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = text.find('|', start);
        fields.emplace_back(text.substr(start, tab - start));
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
    if (fields.size() != 5) return std::nullopt;
    const auto kind = ParseReferenceKind(fields[4]);
    if (!kind) return std::nullopt;
    return ReferenceInstrument{fields[0], fields[1], fields[2], fields[3], *kind};
}

}  // namespace protocol
