#include "protocol/session_events.h"

namespace protocol::events {

namespace {

// A name the journal's reader does not know: the line is not ours.
template <typename T>
T Known(const std::optional<T>& value, const Json& json) {
    if (!value) throw Json::out_of_range::create(406, "unknown name", &json);
    return *value;
}

}  // namespace

Json Head(const char* name, WallClock::time_point time) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch());
    return Json{{"event", name}, {"time", ms.count()}};
}

WallClock::time_point TimeOf(const Json& event) {
    // 1970 to 2200: the clock counts nanoseconds and would overflow not far
    // beyond, and no bench works outside it.
    constexpr std::int64_t kLastMs = 7'258'118'400'000;
    const std::int64_t ms = IntegerOf<std::int64_t>(event.at("time"));
    if (ms < 0 || ms > kLastMs) throw Json::out_of_range::create(401, "time", &event);
    return WallClock::time_point(
        std::chrono::duration_cast<WallClock::duration>(std::chrono::milliseconds(ms)));
}

Json IdentityJson(const DeviceIdentity& identity) {
    return Json{{"tag", identity.tag}, {"serial", identity.serial}, {"model", identity.model}};
}

DeviceIdentity IdentityOf(const Json& json) {
    return {json.at("tag").get<std::string>(), json.at("serial").get<std::string>(),
            json.at("model").get<std::string>()};
}

Json WordsJson(const RegisterWords& words) {
    Json array = Json::array();
    for (const auto& w : words) array.push_back(w ? Json(*w) : Json(nullptr));
    return array;
}

RegisterWords WordsOf(const Json& json) {
    RegisterWords words{};
    if (!json.is_array() || json.size() != words.size())
        throw Json::type_error::create(302, "words", &json);
    for (std::size_t i = 0; i < words.size(); ++i)
        if (!json[i].is_null()) words[i] = IntegerOf<std::uint16_t>(json[i]);
    return words;
}

Json ReferenceJson(const ReferenceInstrument& r) {
    return Json{{"name", r.name},
                {"model", r.model},
                {"serial", r.serial},
                {"calibrated-until", r.calibratedUntil},
                {"kind", ReferenceKindName(r.kind)}};
}

ReferenceInstrument ReferenceOf(const Json& json) {
    return {json.at("name").get<std::string>(), json.at("model").get<std::string>(),
            json.at("serial").get<std::string>(), json.at("calibrated-until").get<std::string>(),
            Known(ParseReferenceKind(json.at("kind").get<std::string>()), json)};
}

Json RunJson(const VerificationRun& run) {
    Json points = Json::array();
    for (const PointResult& p : run.points)
        points.push_back(
            {{"percent", p.percent}, {"applied", p.applied}, {"measured", p.measured}});
    return Json{{"stage", StageName(run.stage)},
                {"lower", run.plan.lower},
                {"upper", run.plan.upper},
                {"output", SignalName(run.plan.output)},
                {"tolerance", run.plan.tolerancePercent},
                {"percents", run.plan.percents},
                {"points", points}};
}

VerificationRun RunOf(const Json& json) {
    VerificationRun run;
    run.stage = Known(ParseStageName(json.at("stage").get<std::string>()), json);
    run.plan.lower = json.at("lower").get<double>();
    run.plan.upper = json.at("upper").get<double>();
    run.plan.output = Known(ParseSignalName(json.at("output").get<std::string>()), json);
    run.plan.tolerancePercent = json.at("tolerance").get<double>();
    run.plan.percents = json.at("percents").get<std::vector<double>>();
    for (const Json& p : json.at("points"))
        run.points.push_back(EvaluatePoint(run.plan, p.at("percent").get<double>(),
                                           p.at("applied").get<double>(),
                                           p.at("measured").get<double>()));
    return run;
}

Json VerdictJson(const StabilityVerdict& v) {
    return Json{{"steadiness", static_cast<int>(v.steadiness)},
                {"count", v.over.count},
                {"mean", v.over.mean},
                {"std-dev", v.over.stdDev},
                {"drift-per-minute", v.over.driftPerMinute}};
}

StabilityVerdict VerdictOf(const Json& json) {
    StabilityVerdict v;
    const int steadiness = IntegerOf<int>(json.at("steadiness"));
    if (steadiness < 0 || steadiness > static_cast<int>(Steadiness::Drifting))
        throw Json::out_of_range::create(401, "steadiness", &json);
    v.steadiness = static_cast<Steadiness>(steadiness);
    v.over.count = IntegerOf<std::size_t>(json.at("count"));
    v.over.mean = json.at("mean").get<double>();
    v.over.stdDev = json.at("std-dev").get<double>();
    v.over.driftPerMinute = json.at("drift-per-minute").get<double>();
    return v;
}

Json TrimJson(const TrimRequest& q, const TrimResult& r) {
    return Json{{"signal", SignalName(q.signal)},  {"zero-word", q.zeroWord},
                {"full-word", q.fullWord},         {"measured-zero", q.measuredZero},
                {"measured-full", q.measuredFull}, {"problem", static_cast<int>(r.problem)},
                {"new-zero-word", r.newZeroWord},  {"new-full-word", r.newFullWord}};
}

void TrimOf(const Json& json, TrimRequest& q, TrimResult& r) {
    q.signal = Known(ParseSignalName(json.at("signal").get<std::string>()), json);
    q.zeroWord = IntegerOf<std::uint16_t>(json.at("zero-word"));
    q.fullWord = IntegerOf<std::uint16_t>(json.at("full-word"));
    q.measuredZero = json.at("measured-zero").get<double>();
    q.measuredFull = json.at("measured-full").get<double>();
    const int problem = IntegerOf<int>(json.at("problem"));
    if (problem < 0 || problem > static_cast<int>(TrimProblem::WordOutOfRange))
        throw Json::out_of_range::create(401, "problem", &json);
    r.problem = static_cast<TrimProblem>(problem);
    r.newZeroWord = IntegerOf<std::uint16_t>(json.at("new-zero-word"));
    r.newFullWord = IntegerOf<std::uint16_t>(json.at("new-full-word"));
}

}  // namespace protocol::events
