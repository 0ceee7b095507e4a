#include "app/options.h"
#include "app/display.h"

#include <gtest/gtest.h>

#include <map>

namespace {

TEST(Options, RecognisedFlags) {
    const SOptions o = ParseOptions({"--simulate", "--port", "/dev/pts/7", "--port=/tmp/vcom",
                                     "--version", "--help", "--trace", "/tmp/t.txt"});
    EXPECT_TRUE(o.error.empty());
    EXPECT_TRUE(o.simulate);
    EXPECT_TRUE(o.version);
    EXPECT_TRUE(o.help);
    EXPECT_EQ(o.ports, (std::vector<std::string>{"/dev/pts/7", "/tmp/vcom"}));
    EXPECT_EQ(o.trace, "/tmp/t.txt");
    EXPECT_EQ(ParseOptions({"--trace=/tmp/u.txt"}).trace, "/tmp/u.txt");
}

TEST(Options, NoArgumentsMeansPlainStart) {
    const SOptions o = ParseOptions({});
    EXPECT_TRUE(o.error.empty());
    EXPECT_FALSE(o.simulate || o.help || o.version);
    EXPECT_TRUE(o.ports.empty());
}

TEST(Options, MistakesAreReportedNotIgnored) {
    const struct {
        std::vector<std::string> args;
        const char* error;
    } cases[] = {
        {{"--port"}, "option --port needs a path"},
        {{"--port="}, "option --port needs a path"},
        {{"--port", ""}, "option --port needs a path"},
        {{"--trace"}, "option --trace needs a file"},
        {{"--trace="}, "option --trace needs a file"},
        {{"--simulate", "--bogus"}, "unknown option: --bogus"},
        {{"/dev/ttyUSB0"}, "unknown option: /dev/ttyUSB0"},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseOptions(c.args).error, c.error) << c.args.back();
}

TEST(Display, AnyOfTheThreeVariablesIsEnough) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        std::map<std::string, std::string> env{{name, "x"}};
        auto lookup = [&](const char* n) -> const char* {
            auto it = env.find(n);
            return it == env.end() ? nullptr : it->second.c_str();
        };
        EXPECT_EQ(MissingDisplayMessage(lookup), "") << name;
    }
}

TEST(Display, EmptyOrUnsetGivesOneLine) {
    auto unset = [](const char*) -> const char* { return nullptr; };
    auto empty = [](const char*) -> const char* { return ""; };
    for (const EnvLookup& lookup : {EnvLookup(unset), EnvLookup(empty)}) {
        const std::string msg = MissingDisplayMessage(lookup);
        EXPECT_NE(msg.find("no display"), std::string::npos);
        EXPECT_EQ(msg.find('\n'), std::string::npos);
    }
}

}  // namespace
