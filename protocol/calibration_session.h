#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "protocol/calibration_identity.h"
#include "protocol/device_parameters.h"
#include "protocol/output_trim.h"
#include "protocol/registers.h"
#include "protocol/sample_statistics.h"
#include "protocol/verification.h"

namespace protocol {

class SessionJournal;

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

// Who works on which unit with which software, fixed when a session starts
// (identity and technician may still be corrected later). UTF-8.
struct SessionContext {
    DeviceIdentity identity;
    std::string technician;
    std::string software;  // "Corvexa 1.0.0"
};

struct CertificateRecord {
    std::string number;
    std::string file;
};

// What the technician did to the device between connecting and the
// certificate: who and which unit, the words as found at connect, every
// write with its outcome, every stored sample with how settled it was, every
// trim, the references used and the verifications. With a journal attached,
// every event is also appended to it as it happens, so that a session a
// crash cut short can be rebuilt (ReadJournal).
class CalibrationSession {
public:
    // A new session on a new connection; forgets the old one. The journal,
    // when given, receives this start and everything after it.
    void Start(WallClock::time_point time, std::wstring port, const RegisterWords& asFound,
               SessionContext context = {}, std::shared_ptr<SessionJournal> journal = nullptr);
    bool Started() const { return m_started; }
    WallClock::time_point StartTime() const { return m_startTime; }
    const std::wstring& Port() const { return m_port; }
    const RegisterWords& AsFound() const { return m_asFound; }
    const SessionContext& Context() const { return m_context; }
    SessionJournal* Journal() const { return m_journal.get(); }

    void SetIdentity(const DeviceIdentity& identity);
    void SetTechnician(const std::string& technician);
    void SetReferences(const std::vector<ReferenceInstrument>& references);
    const std::vector<ReferenceInstrument>& References() const { return m_references; }
    // A later run of the same stage replaces the earlier one.
    void RecordVerification(const VerificationRun& run);
    const std::optional<VerificationRun>& Verification(VerificationStage stage) const {
        return stage == VerificationStage::AsLeft ? m_asLeftRun : m_asFoundRun;
    }
    // The words read back for the certificate.
    void RecordAsLeft(const RegisterWords& words);
    const std::optional<RegisterWords>& AsLeft() const { return m_asLeft; }
    void RecordCertificate(const CertificateRecord& certificate);
    const std::optional<CertificateRecord>& Certificate() const { return m_certificate; }
    // The session is over (disconnect, the window closed); a journal
    // without this event was cut short.
    void Finish(WallClock::time_point time);
    bool Finished() const { return m_finished; }
    WallClock::time_point EndTime() const { return m_endTime; }

    // A register this session wrote and the device confirmed.
    bool Written(int index) const;
    // Some write of this session was confirmed.
    bool HasChanges() const;

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

    // All fourteen registers in order, as found against as left; a row is
    // Changed only where this session wrote the register (a live sample
    // that moved is not a change).
    std::vector<ParameterComparison> Compare(const RegisterWords& asLeft) const;

private:
    void Log(const std::string& line);

    bool m_started = false;
    bool m_finished = false;
    WallClock::time_point m_startTime;
    WallClock::time_point m_endTime;
    std::wstring m_port;
    RegisterWords m_asFound;
    SessionContext m_context;
    std::shared_ptr<SessionJournal> m_journal;
    std::vector<ReferenceInstrument> m_references;
    std::optional<VerificationRun> m_asFoundRun;
    std::optional<VerificationRun> m_asLeftRun;
    std::optional<RegisterWords> m_asLeft;
    std::optional<CertificateRecord> m_certificate;
    std::vector<SessionWrite> m_writes;
    std::vector<StoredSample> m_samples;
    std::vector<TrimRecord> m_trims;
};

}  // namespace protocol
