// bench_history [DEVICES [SESSIONS]]: fills a SQLite history (default
// 10,000 devices x 10 sessions), then times what the History window does:
// open it (the first page of devices), search one tag, show one device
// (its sessions and the newest one whole). Prints the figures and the
// file's size.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "history/history_store.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double Ms(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

protocol::CalibrationSession Session(const protocol::DeviceIdentity& unit,
                                     protocol::WallClock::time_point start, double offset) {
    using namespace protocol;
    RegisterWords words{};
    for (int i = 0; i < kRegisterCount; ++i) words[i] = static_cast<std::uint16_t>(100 + i);
    words[kDecimalsIndex] = 1;
    CalibrationSession s;
    s.Start(start, L"/dev/ttyUSB0", words, {unit, "Lena Fischer", "Corvexa 1.0.0"});
    s.SetReferences({{"Meter", "8846A", "M1", "2027-01-01", ReferenceKind::OutputMeter}});
    VerificationRun run;
    run.plan.lower = 0;
    run.plan.upper = 100;
    for (double p : run.plan.percents)
        run.points.push_back(EvaluatePoint(run.plan, p, p, 4 + p * 0.16 + offset));
    s.RecordVerification(run);
    s.BeginWrite(start, OperationCode::WriteZeroOutput, L"6000", L"5990");
    s.CompleteWrite(OperationCode::WriteZeroOutput, true);
    s.RecordAsLeft(words);
    s.RecordCertificate({"C-" + unit.serial, "certificate.pdf"});
    s.Finish(start + std::chrono::minutes(20));
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    const int devices = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int each = argc > 2 ? std::atoi(argv[2]) : 10;
    const fs::path file = fs::temp_directory_path() / "corvexa-bench-history.sqlite";
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(file.string() + suffix);

    const auto fillStart = Clock::now();
    {
        const auto store = history::HistoryStore::Open(file.string());
        // The fill is the bench's own: no need to wait for the disk at each session.
        store->Connection().Script("PRAGMA synchronous = OFF");
        const protocol::WallClock::time_point first{std::chrono::seconds(1'600'000'000)};
        for (int d = 0; d < devices; ++d) {
            char tag[32], serial[32];
            std::snprintf(tag, sizeof tag, "TT-%05d", d);
            std::snprintf(serial, sizeof serial, "SN%06d", d);
            for (int s = 0; s < each; ++s) {
                const auto start = first + std::chrono::hours(24 * 365 * s / 2 + d % 100);
                history::SessionRecord record{
                    Session({tag, serial, "TX-9"}, start, 0.01 * ((d + s) % 7)), "bench-a",
                    std::string(tag) + "-" + std::to_string(s) + ".jsonl",
                    "{\"event\":\"start\"}\n", ""};
                store->RecordSession(record);
            }
        }
        store->Connection().Script("PRAGMA wal_checkpoint(TRUNCATE)");
    }
    std::printf("filled %d devices x %d sessions in %.1f s; file %.1f MB\n", devices, each,
                Ms(fillStart) / 1000, static_cast<double>(fs::file_size(file)) / 1e6);

    auto t = Clock::now();
    const auto store = history::HistoryStore::Open(file.string());
    const auto page = store->FindDevices("");
    std::printf("open History (connect, schema check, first %zu devices): %.2f ms\n", page.size(),
                Ms(t));

    char tag[32];
    std::snprintf(tag, sizeof tag, "TT-%05d", devices / 2);
    t = Clock::now();
    const auto found = store->FindDevices(tag);
    std::printf("search tag %s (%zu found): %.2f ms\n", tag, found.size(), Ms(t));
    if (found.empty()) return 1;

    t = Clock::now();
    history::SessionFilter filter;
    filter.deviceId = found[0].id;
    const auto sessions = store->Sessions(filter);
    const auto newest = store->Session(sessions.at(0).id);
    std::printf("show one device (%zu sessions, the newest whole): %.2f ms\n", sessions.size(),
                Ms(t));
    t = Clock::now();
    const auto due = store->Due("2026-12-09", 30);
    std::printf("due within 30 days (%zu devices): %.2f ms\n", due.size(), Ms(t));
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(file.string() + suffix);
    return newest ? 0 : 1;
}
