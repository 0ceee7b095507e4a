#include "history_rig.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

namespace history::testing {

namespace fs = std::filesystem;

TestFolder::TestFolder() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("corvexa-history-") + std::to_string(getpid()) + "-" +
                       (test ? test->name() : "rig");
    for (char& c : name)
        if (c == '/') c = '_';
    path = fs::temp_directory_path() / name;
    fs::remove_all(path);
    fs::create_directories(path);
}

TestFolder::~TestFolder() {
    std::error_code ec;
    fs::remove_all(path, ec);
}

std::string WithDatabase(const std::string& conninfo, const std::string& database) {
    // postgresql:///postgres?host=/tmp/x -> postgresql:///<database>?host=/tmp/x
    const auto path = conninfo.find('/', conninfo.find("://") + 3);
    const auto query = conninfo.find('?');
    return conninfo.substr(0, path + 1) + database +
           (query == std::string::npos ? "" : conninfo.substr(query));
}

TestDatabase::TestDatabase(Backend backend) : m_backend(backend) {
    if (backend == Backend::Sqlite) {
        m_where = (m_folder.path / "history.sqlite").string();
        return;
    }
    const char* admin = std::getenv("CORVEXA_TEST_POSTGRES");
    if (!admin || !*admin) {
        m_problem = "CORVEXA_TEST_POSTGRES is not set (scripts/test starts a server and sets it)";
        return;
    }
    m_admin = admin;
    static int made = 0;
    m_name = "corvexa_test_" + std::to_string(getpid()) + "_" + std::to_string(++made);
    auto db = OpenPostgres(m_admin);
    db->Script("DROP DATABASE IF EXISTS " + m_name);
    db->Script("CREATE DATABASE " + m_name);
    m_where = WithDatabase(m_admin, m_name);
}

TestDatabase::~TestDatabase() {
    if (m_backend != Backend::Postgres || m_name.empty()) return;
    try {
        OpenPostgres(m_admin)->Script("DROP DATABASE IF EXISTS " + m_name + " WITH (FORCE)");
    } catch (const DatabaseError&) {
        // The server is gone; its folder goes with it.
    }
}

protocol::CalibrationSession WorkedSession(const protocol::DeviceIdentity& identity,
                                           protocol::WallClock::time_point start,
                                           const fs::path& folder, const std::string& certificate) {
    using namespace protocol;
    RegisterWords found{};
    found[kUnitIndex] = 0;  // °C
    found[kDecimalsIndex] = 1;
    found[kZeroOffsetIndex] = 125;
    found[kLowerLimitIndex] = static_cast<std::uint16_t>(-50);
    found[kUpperLimitIndex] = 150;
    found[kZeroOutputIndex] = 6000;
    std::shared_ptr<SessionJournal> journal;
    if (!folder.empty())
        journal = SessionJournal::Open(JournalPathFor(folder, start, identity), nullptr);
    CalibrationSession s;
    s.Start(start, L"/dev/ttyUSB0", found, {identity, "Lena Fischer", "Corvexa 1.0.0"}, journal);
    s.SetReferences({{"Meter", "8846A", "M1", "2027-01-01", ReferenceKind::OutputMeter},
                     {"Calibrator", "PCE-123", "C9", "2026-06-30", ReferenceKind::InputSource}});
    VerificationRun run;
    run.plan.lower = -50;
    run.plan.upper = 150;
    run.plan.percents = {0, 50, 100};
    for (double p : run.plan.percents)
        run.points.push_back(
            EvaluatePoint(run.plan, p, NominalInput(run.plan, p), 4.08 + p * 0.16));
    s.RecordVerification(run);
    s.BeginWrite(start + std::chrono::seconds(60), OperationCode::WriteZeroOutput, L"6000",
                 L"5847");
    s.CompleteWrite(OperationCode::WriteZeroOutput, true);
    RegisterWords left = found;
    left[kZeroOutputIndex] = 5847;
    s.RecordAsLeft(left);
    if (!certificate.empty())
        s.RecordCertificate({certificate, (folder / "certificate.pdf").string()});
    s.Finish(start + std::chrono::seconds(600));
    return s;
}

SessionRecord RecordOf(protocol::CalibrationSession session, const std::string& journal) {
    return {std::move(session), "bench-a", journal, "{}", ""};
}

}  // namespace history::testing
