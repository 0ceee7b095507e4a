#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/device_parameters.h"
#include "protocol/output_trim.h"
#include "protocol/registers.h"
#include "protocol/sample_statistics.h"

namespace protocol {

using WallClock = std::chrono::system_clock;

enum class WriteOutcome { Pending, Succeeded, Failed };

struct SessionWrite {
    WallClock::time_point time;
    OperationCode code = OperationCode::WriteSignalSource;
    std::wstring oldText;  // as the window showed it before the write
    std::wstring newText;  // as sent
    WriteOutcome outcome = WriteOutcome::Pending;
};

struct StoredSample {
    WallClock::time_point time;
    OperationCode code = OperationCode::WriteZeroSample;  // 23 zero or 24 full sample
    std::uint16_t word = 0;
    StabilityVerdict verdict;  // of the last 5 s when it was stored
};

struct TrimRecord {
    WallClock::time_point time;
    TrimRequest request;
    TrimResult result;
};

// One row of the as-found / as-left comparison.
enum class ParameterChange { Same, Changed, Unknown };  // Unknown: a side was not read
struct ParameterComparison {
    int index = 0;  // register minus 10
    std::optional<std::uint16_t> asFound;
    std::optional<std::uint16_t> asLeft;
    ParameterChange change = ParameterChange::Unknown;
};

// What the technician did to the device between connecting and the report:
// the words as found at connect, every write with its outcome, every stored
// sample with how settled it was, and every trim.
class CalibrationSession {
public:
    // A new session on a new connection; forgets the old one.
    void Start(WallClock::time_point time, std::wstring port, const RegisterWords& asFound);
    bool Started() const { return m_started; }
    WallClock::time_point StartTime() const { return m_startTime; }
    const std::wstring& Port() const { return m_port; }
    const RegisterWords& AsFound() const { return m_asFound; }

    // A write as it starts; its outcome comes later with UM_WRITE_RESULT.
    void BeginWrite(WallClock::time_point time, OperationCode code, std::wstring oldText,
                    std::wstring newText);
    // The outcome of the oldest pending write of that operation (the link
    // runs writes in the order they were started). False if none waits.
    bool CompleteWrite(OperationCode code, bool success);
    void RecordSample(WallClock::time_point time, OperationCode code, std::uint16_t word,
                      const StabilityVerdict& verdict);
    void RecordTrim(WallClock::time_point time, const TrimRequest& request,
                    const TrimResult& result);

    const std::vector<SessionWrite>& Writes() const { return m_writes; }
    const std::vector<StoredSample>& Samples() const { return m_samples; }
    const std::vector<TrimRecord>& Trims() const { return m_trims; }

    // All fourteen registers in order, as found against as left.
    std::vector<ParameterComparison> Compare(const RegisterWords& asLeft) const;

private:
    bool m_started = false;
    WallClock::time_point m_startTime;
    std::wstring m_port;
    RegisterWords m_asFound;
    std::vector<SessionWrite> m_writes;
    std::vector<StoredSample> m_samples;
    std::vector<TrimRecord> m_trims;
};

}  // namespace protocol
