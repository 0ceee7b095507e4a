#include "protocol/calibration_session.h"

#include <nlohmann/json.hpp>
#include <utility>

#include "base/wide_text.h"
#include "protocol/session_events.h"
#include "protocol/session_journal.h"

namespace protocol {

using corvexa::base::ToUtf8;
using nlohmann::ordered_json;

void CalibrationSession::Log(const std::string& line) {
    if (m_journal) m_journal->Append(line);
}

void CalibrationSession::Start(WallClock::time_point time, std::wstring port,
                               const RegisterWords& asFound, SessionContext context,
                               std::shared_ptr<SessionJournal> journal) {
    *this = CalibrationSession{};
    m_started = true;
    m_startTime = time;
    m_port = std::move(port);
    m_asFound = asFound;
    m_context = std::move(context);
    m_journal = std::move(journal);
    ordered_json e = events::Head("start", time);
    e["port"] = ToUtf8(m_port);
    e["software"] = m_context.software;
    e["technician"] = m_context.technician;
    e["identity"] = events::IdentityJson(m_context.identity);
    e["as-found"] = events::WordsJson(asFound);
    Log(e.dump());
}

void CalibrationSession::SetIdentity(const DeviceIdentity& identity) {
    m_context.identity = identity;
    ordered_json e = events::Head("identity", WallClock::now());
    e["identity"] = events::IdentityJson(identity);
    Log(e.dump());
}

void CalibrationSession::SetTechnician(const std::string& technician) {
    m_context.technician = technician;
    ordered_json e = events::Head("technician", WallClock::now());
    e["name"] = technician;
    Log(e.dump());
}

void CalibrationSession::SetReferences(const std::vector<ReferenceInstrument>& references) {
    m_references = references;
    ordered_json e = events::Head("references", WallClock::now());
    e["used"] = ordered_json::array();
    for (const ReferenceInstrument& r : references) e["used"].push_back(events::ReferenceJson(r));
    Log(e.dump());
}

void CalibrationSession::RecordVerification(const VerificationRun& run) {
    (run.stage == VerificationStage::AsLeft ? m_asLeftRun : m_asFoundRun) = run;
    ordered_json e = events::Head("verification", WallClock::now());
    e["run"] = events::RunJson(run);
    Log(e.dump());
}

void CalibrationSession::RecordAsLeft(const RegisterWords& words) {
    m_asLeft = words;
    ordered_json e = events::Head("as-left", WallClock::now());
    e["words"] = events::WordsJson(words);
    Log(e.dump());
}

void CalibrationSession::RecordCertificate(const CertificateRecord& certificate) {
    m_certificate = certificate;
    ordered_json e = events::Head("certificate", WallClock::now());
    e["number"] = certificate.number;
    e["file"] = certificate.file;
    Log(e.dump());
}

void CalibrationSession::Finish(WallClock::time_point time) {
    if (!m_started || m_finished) return;
    m_finished = true;
    m_endTime = time;
    Log(events::Head("end", time).dump());
}

void CalibrationSession::BeginWrite(WallClock::time_point time, OperationCode code,
                                    std::wstring oldText, std::wstring newText) {
    ordered_json e = events::Head("write", time);
    e["code"] = static_cast<int>(code);
    e["old"] = ToUtf8(oldText);
    e["new"] = ToUtf8(newText);
    Log(e.dump());
    m_writes.push_back({time, code, std::move(oldText), std::move(newText), WriteOutcome::Pending});
}

bool CalibrationSession::CompleteWrite(OperationCode code, bool success) {
    for (SessionWrite& write : m_writes) {
        if (write.code == code && write.outcome == WriteOutcome::Pending) {
            write.outcome = success ? WriteOutcome::Succeeded : WriteOutcome::Failed;
            ordered_json e = events::Head("write-result", WallClock::now());
            e["code"] = static_cast<int>(code);
            e["success"] = success;
            Log(e.dump());
            return true;
        }
    }
    return false;
}

void CalibrationSession::RecordSample(WallClock::time_point time, OperationCode code,
                                      std::uint16_t word, const StabilityVerdict& verdict) {
    m_samples.push_back({time, code, word, verdict});
    ordered_json e = events::Head("sample", time);
    e["code"] = static_cast<int>(code);
    e["word"] = word;
    e["verdict"] = events::VerdictJson(verdict);
    Log(e.dump());
}

void CalibrationSession::RecordTrim(WallClock::time_point time, const TrimRequest& request,
                                    const TrimResult& result) {
    m_trims.push_back({time, request, result});
    ordered_json e = events::Head("trim", time);
    e["trim"] = events::TrimJson(request, result);
    Log(e.dump());
}

bool CalibrationSession::Written(int index) const {
    for (const SessionWrite& w : m_writes)
        if (w.outcome == WriteOutcome::Succeeded && ParamIndexOf(w.code) == index) return true;
    return false;
}

bool CalibrationSession::HasChanges() const {
    for (const SessionWrite& w : m_writes)
        if (w.outcome == WriteOutcome::Succeeded) return true;
    return false;
}

std::vector<ParameterComparison> CalibrationSession::Compare(const RegisterWords& asLeft) const {
    std::vector<ParameterComparison> rows;
    for (int index = 0; index < kRegisterCount; ++index) {
        ParameterComparison row;
        row.index = index;
        row.asFound = m_asFound[static_cast<std::size_t>(index)];
        row.asLeft = asLeft[static_cast<std::size_t>(index)];
        if (row.asFound && row.asLeft)
            row.change = Written(index) ? ParameterChange::Changed : ParameterChange::Same;
        rows.push_back(row);
    }
    return rows;
}

}  // namespace protocol
