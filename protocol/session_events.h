#pragma once

#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "protocol/calibration_session.h"

// The session's records as the journal's JSON, both ways. A reader takes
// only what has the right shape and throws nlohmann's exceptions for the
// rest, which the journal reader counts as a skipped line.
namespace protocol::events {

using Json = nlohmann::ordered_json;

// An integer of type T, or nlohmann's out_of_range / type_error: its own
// get<int>() casts a float or a too large number without a check.
template <typename T>
T IntegerOf(const Json& json) {
    if (!json.is_number_integer()) throw Json::type_error::create(302, "not an integer", &json);
    if (json.is_number_unsigned()) {
        const auto value = json.get<std::uint64_t>();
        if (value > static_cast<std::uint64_t>(std::numeric_limits<T>::max()))
            throw Json::out_of_range::create(406, "integer out of range", &json);
        return static_cast<T>(value);
    }
    const auto value = json.get<std::int64_t>();
    if (value < static_cast<std::int64_t>(std::numeric_limits<T>::min()) ||
        (value > 0 && static_cast<std::uint64_t>(value) >
                          static_cast<std::uint64_t>(std::numeric_limits<T>::max())))
        throw Json::out_of_range::create(406, "integer out of range", &json);
    return static_cast<T>(value);
}

// {"event": name, "time": milliseconds since 1970}
Json Head(const char* name, WallClock::time_point time);
WallClock::time_point TimeOf(const Json& event);

Json IdentityJson(const DeviceIdentity& identity);
DeviceIdentity IdentityOf(const Json& json);

// Fourteen words, null where a register was not read.
Json WordsJson(const RegisterWords& words);
RegisterWords WordsOf(const Json& json);

Json ReferenceJson(const ReferenceInstrument& reference);
ReferenceInstrument ReferenceOf(const Json& json);

// The plan and each point's applied and measured value; the rest is
// computed again on reading, by the same arithmetic.
Json RunJson(const VerificationRun& run);
VerificationRun RunOf(const Json& json);

Json VerdictJson(const StabilityVerdict& verdict);
StabilityVerdict VerdictOf(const Json& json);

Json TrimJson(const TrimRequest& request, const TrimResult& result);
void TrimOf(const Json& json, TrimRequest& request, TrimResult& result);

}  // namespace protocol::events
