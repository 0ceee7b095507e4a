#include "protocol/session_journal.h"

#include <gtest/gtest.h>

#include <fstream>

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace protocol {
namespace {

namespace fs = std::filesystem;

const WallClock::time_point kStart{std::chrono::seconds(1'800'000'000)};

struct JournalFolder {
    fs::path path =
        fs::temp_directory_path() /
        ("corvexa-journal-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    JournalFolder() { fs::remove_all(path); }
    ~JournalFolder() { fs::remove_all(path); }
};

RegisterWords Found() {
    RegisterWords words{};
    words[kLowerLimitIndex] = static_cast<std::uint16_t>(-50);
    words[kUpperLimitIndex] = 150;
    words[kZeroOutputIndex] = 6000;
    return words;
}

// What a bench does in a session, up to `upTo` steps.
void Work(CalibrationSession& s, std::shared_ptr<SessionJournal> journal) {
    s.Start(kStart, L"/dev/ttyUSB0", Found(),
            {{"TT-101", "SN 7", "TX-9"}, "Lena Fischer", "Corvexa 1.0.0"}, std::move(journal));
    s.SetReferences({{"Meter", "8846A", "M1", "2027-01-01", ReferenceKind::OutputMeter}});
    VerificationRun run;
    run.plan.lower = -50;
    run.plan.upper = 150;
    run.plan.percents = {0, 50, 100};
    for (double p : run.plan.percents)
        run.points.push_back(
            EvaluatePoint(run.plan, p, NominalInput(run.plan, p), 4.05 + p * 0.16));
    s.RecordVerification(run);
    s.BeginWrite(kStart, OperationCode::WriteZeroOutput, L"6000", L"5847");
    s.CompleteWrite(OperationCode::WriteZeroOutput, true);
    s.SetTechnician("L. Fischer");
}

TEST(SessionJournal, RebuildsTheSessionAndSkipsALineCutShort) {
    JournalFolder folder;
    const fs::path path = JournalPathFor(folder.path, kStart, {"TT/101", "SN 7", ""});
    EXPECT_EQ(".jsonl", path.extension());
    EXPECT_NE(std::string::npos, path.filename().string().find("-TT_101-SN_7.jsonl"));
    {
        CalibrationSession s;
        Work(s, SessionJournal::Open(path, nullptr));
    }
    {
        // A stage nobody wrote, then a line the crash cut short.
        std::ofstream(path, std::ios::app)
            << R"({"event":"verification","time":1,"run":{"stage":"as-sold","lower":0,)"
               R"("upper":1,"output":"4-20mA","tolerance":1,"percents":[],"points":[]}})"
            << "\n"
            << R"({"event":"write","time":1,"co)";
    }

    const auto content = ReadJournal(path);
    ASSERT_TRUE(content);
    const CalibrationSession& s = content->session;
    EXPECT_EQ(2u, content->skippedLines);
    EXPECT_FALSE(s.Finished());
    EXPECT_FALSE(s.Verification(VerificationStage::AsLeft));
    EXPECT_EQ("TT-101", s.Context().identity.tag);
    EXPECT_EQ("L. Fischer", s.Context().technician);
    EXPECT_EQ(Found(), s.AsFound());
    ASSERT_EQ(1u, s.References().size());
    EXPECT_EQ("M1", s.References()[0].serial);
    const auto& run = s.Verification(VerificationStage::AsFound);
    ASSERT_TRUE(run);
    ASSERT_EQ(3u, run->points.size());
    EXPECT_NEAR(0.3125, run->points[0].errorPercent, 1e-9);  // recomputed on reading
    EXPECT_FALSE(run->Passed());
    EXPECT_TRUE(s.Written(kZeroOutputIndex));
    EXPECT_EQ(L"5847", s.Writes()[0].newText);

    ASSERT_EQ(1u, UnfinishedJournals(folder.path, {"TT-101", "SN 7", ""}).size());
    EXPECT_TRUE(UnfinishedJournals(folder.path, {"TT-102", "SN 7", ""}).empty());
    {
        CalibrationSession again;
        Work(again, SessionJournal::Open(path, nullptr));
        again.Finish(kStart);
    }
    // The file now ends with a finished second session.
    EXPECT_TRUE(UnfinishedJournals(folder.path, {"TT-101", "SN 7", ""}).empty());
    EXPECT_FALSE(ReadJournal(folder.path / "none.jsonl"));
}

#ifndef _WIN32
TEST(SessionJournal, KeepsEveryEventOfAProcessThatIsKilled) {
    JournalFolder folder;
    const fs::path path = folder.path / "killed.jsonl";
    int ready[2];
    ASSERT_EQ(0, pipe(ready));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CalibrationSession s;
        Work(s, SessionJournal::Open(path, nullptr));
        const char done = 1;
        if (write(ready[1], &done, 1) != 1) _exit(1);
        for (;;) pause();
    }
    close(ready[1]);
    char done = 0;
    ASSERT_EQ(1, read(ready[0], &done, 1));
    close(ready[0]);
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFSIGNALED(status));

    const auto content = ReadJournal(path);
    ASSERT_TRUE(content);
    EXPECT_EQ(0u, content->skippedLines);
    EXPECT_TRUE(content->session.Written(kZeroOutputIndex));
    EXPECT_EQ("L. Fischer", content->session.Context().technician);
    EXPECT_FALSE(content->session.Finished());
}

TEST(SessionJournal, AFullDiskIsSaidAndTheSessionGoesOn) {
    const auto journal = SessionJournal::Open("/dev/full", nullptr);
    ASSERT_NE(journal, nullptr);
    CalibrationSession s;
    Work(s, journal);
    EXPECT_TRUE(journal->Failed());
    EXPECT_TRUE(s.Written(kZeroOutputIndex));
}
#endif

}  // namespace
}  // namespace protocol
