#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "cli_process.h"
#include "sim/simulated_transmitter.h"

namespace cli::testing {
namespace {

using corvexa::sim::SimulatedTransmitter;
namespace fs = std::filesystem;

// Range -50..150 °C: the points 0..100 % are -50, 0, 50, 100, 150 °C and
// 4, 8, 12, 16, 20 mA.
TEST(CorvexaCliVerify, ReadingsFromStandardInputPassOrFailWithTheirNumbers) {
    struct Case {
        const char* name;
        const char* input;
        const char* options;
        int status;
        const char* shown;  // in the text output, or a JSON member that must hold
    } cases[] = {
        {"pass", "4.02\\n0,8\\n12\\n16.01\\n20\\n", "", 0,
         "as-found: PASS (largest error 0.125 % of span)"},
        {"fail", "4.02\\n8.05\\n12\\n16\\n20\\n", "", 7, "8.05      0.313            FAIL"},
        {"json fail", "0\\n2.5\\n5.03\\n7.5\\n10\\n", "--json verify --output 0-10V", 7,
         "\"error_percent_of_span\":0.3,\"pass\":false"},
        {"json applied off nominal", "4\\n25.3,10\\n20\\n", "--json verify --points 0,50,100", 0,
         "{\"percent\":50.0,\"applied\":25.3,\"expected\":10.024,\"measured\":10.0,"
         "\"error_percent_of_span\":-0.15,\"pass\":true}"},
        {"input ends early", "4\\n8\\n", "", 2, "standard input ended after 2 of 5 points"},
        {"not a reading", "4\\nabc\\n", "", 2, "\"abc\" is not a reading"},
        {"two points", "", "verify --points 0,100", 2, "at least 3 test points"},
    };
    const fs::path data =
        fs::temp_directory_path() / ("corvexa-verify-" + std::to_string(::getpid()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(data);
        SimulatedTransmitter::Options options;
        options.wander = false;
        SimulatedTransmitter sim(options);
        sim.SetRegister(16, 0xFFCE);
        sim.SetRegister(17, 150);
        const std::string command = *c.options ? c.options : "verify";
        const CliRun run =
            RunShell("printf '" + std::string(c.input) + "' | XDG_DATA_HOME=" + data.string() +
                     " \"$0\" --port " + sim.SlavePath() +
                     " --tag TT-101 --serial SN7 --technician Lena " + command);
        EXPECT_EQ(c.status, run.status) << run.out << run.err;
        EXPECT_NE(std::string::npos, (run.out + run.err).find(c.shown)) << run.out << run.err;
        if (std::string(c.name) == "two points") {
            EXPECT_EQ(0u, sim.FrameCount());  // refused before the port was opened
            continue;
        }
        // The session is in the journal, verification included; written
        // into the history database, the journal moved to recorded/.
        const fs::path journals = data / "corvexa" / "journal" / "recorded";
        ASSERT_TRUE(fs::is_directory(journals));
        const fs::path journal = fs::directory_iterator(journals)->path();
        std::ifstream in(journal);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        EXPECT_NE(std::string::npos, text.find("\"technician\":\"Lena\""));
        EXPECT_NE(std::string::npos, text.find("\"event\":\"verification\""));
        EXPECT_NE(std::string::npos, text.find("\"event\":\"end\""));
    }
    fs::remove_all(data);
}

}  // namespace
}  // namespace cli::testing
