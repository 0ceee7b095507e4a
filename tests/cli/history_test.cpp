#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "cli_process.h"
#include "sim/simulated_transmitter.h"

namespace cli::testing {
namespace {

using corvexa::sim::SimulatedTransmitter;
namespace fs = std::filesystem;

// Sessions of units with a tag go into the history database; one that
// ends while the database cannot be used waits in its journal and goes in
// with the next command.
TEST(CorvexaCliHistory, SessionsAreRecordedAndListedShownExportedAndDue) {
    const fs::path data =
        fs::temp_directory_path() / ("corvexa-history-" + std::to_string(getpid()));
    fs::remove_all(data);
    SimulatedTransmitter::Options options;
    options.wander = false;
    SimulatedTransmitter sim(options);
    const std::string env = "XDG_DATA_HOME=" + data.string() + " \"$0\" --port " + sim.SlavePath();
    const std::string unit = " --tag TT-101 --serial SN7 --model TX-9 --technician Lena ";

    ASSERT_EQ(0, RunShell(env + unit + "write zero-offset=2.5").status);
    const CliRun waiting =
        RunShell(env + unit + "--database /proc/no/history.sqlite write lower-limit=-40");
    EXPECT_EQ(0, waiting.status);  // the device was written; the record waits
    EXPECT_NE(std::string::npos, waiting.err.find("1 finished session(s) wait in " +
                                                  (data / "corvexa" / "journal").string() +
                                                  " for the history database"))
        << waiting.err;

    const struct {
        const char* args;
        int status;
        const char* shown;
    } cases[] = {
        // The waiting session went in first: both are listed, newest first.
        {"history list", 0, "2        "},
        {"--tag TT-101 history list --since 2020-01-01", 0, "Lena"},
        {"--tag TT-999 history list", 0, "no sessions"},
        {"--json history show 1", 0, R"({"time":)"},
        {"--json history show 1", 0,
         R"("register":15,"old":"0.0","new":"2.5","outcome":"written"})"},
        {"history show 2", 0, "16        -50 °C"},
        {"history show 9", 2, "no session 9 in the history"},
        {"history due --days 30", 0, "no device is due within 30 days"},
        {"history interval TX-9 0", 2, "MONTHS: Value 0 not in range 1 to 600"},
        {"history interval TX-9 6", 0, "TX-9: due 6 months after its latest certificate"},
        {"history list --since 2026-13-01", 2, "--since 2026-13-01 refused"},
        {"history export", 2, "history export takes --csv FILE or --json FILE"},
        {"--database postgresql:///corvexa?host=/nonexistent history list", 8,
         "the history database could not be used: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const CliRun run = RunShell("XDG_DATA_HOME=" + data.string() + " \"$0\" " + c.args);
        EXPECT_EQ(c.status, run.status) << run.out << run.err;
        EXPECT_NE(std::string::npos, (run.out + run.err).find(c.shown)) << run.out << run.err;
    }
    EXPECT_EQ(2, std::distance(fs::directory_iterator(data / "corvexa" / "journal" / "recorded"),
                               fs::directory_iterator()));

    const fs::path csv = data / "history.csv";
    ASSERT_EQ(0, RunShell("XDG_DATA_HOME=" + data.string() + " \"$0\" history export --csv " +
                          csv.string())
                     .status);
    std::ifstream in(csv);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    const auto lines = Lines(text);
    ASSERT_EQ(3u, lines.size()) << text;
    EXPECT_EQ(R"x("session","started (UTC)","tag","serial","model","technician","as found",)x"
              R"x("as left","certificate")x"
              "\r",
              lines[0]);
    EXPECT_NE(std::string::npos, lines[1].find(R"("TT-101","SN7","TX-9","Lena","","","")"));
    fs::remove_all(data);
}

}  // namespace
}  // namespace cli::testing
