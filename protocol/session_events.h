#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "protocol/calibration_session.h"

// The session's records as the journal's JSON, both ways. A reader takes
// only what has the right shape and throws nlohmann's exceptions for the
// rest, which the journal reader counts as a skipped line.
namespace protocol::events {

using Json = nlohmann::ordered_json;

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
