#include "protocol/calibration_session.h"

#include <utility>

namespace protocol {

void CalibrationSession::Start(WallClock::time_point time, std::wstring port,
                               const RegisterWords& asFound) {
    *this = CalibrationSession{};
    m_started = true;
    m_startTime = time;
    m_port = std::move(port);
    m_asFound = asFound;
}

void CalibrationSession::BeginWrite(WallClock::time_point time, OperationCode code,
                                    std::wstring oldText, std::wstring newText) {
    m_writes.push_back({time, code, std::move(oldText), std::move(newText), WriteOutcome::Pending});
}

bool CalibrationSession::CompleteWrite(OperationCode code, bool success) {
    for (SessionWrite& write : m_writes) {
        if (write.code == code && write.outcome == WriteOutcome::Pending) {
            write.outcome = success ? WriteOutcome::Succeeded : WriteOutcome::Failed;
            return true;
        }
    }
    return false;
}

void CalibrationSession::RecordSample(WallClock::time_point time, OperationCode code,
                                      std::uint16_t word, const StabilityVerdict& verdict) {
    m_samples.push_back({time, code, word, verdict});
}

void CalibrationSession::RecordTrim(WallClock::time_point time, const TrimRequest& request,
                                    const TrimResult& result) {
    m_trims.push_back({time, request, result});
}

std::vector<ParameterComparison> CalibrationSession::Compare(const RegisterWords& asLeft) const {
    std::vector<ParameterComparison> rows;
    for (int index = 0; index < kRegisterCount; ++index) {
        ParameterComparison row;
        row.index = index;
        row.asFound = m_asFound[static_cast<std::size_t>(index)];
        row.asLeft = asLeft[static_cast<std::size_t>(index)];
        if (row.asFound && row.asLeft)
            row.change =
                *row.asFound == *row.asLeft ? ParameterChange::Same : ParameterChange::Changed;
        rows.push_back(row);
    }
    return rows;
}

}  // namespace protocol
