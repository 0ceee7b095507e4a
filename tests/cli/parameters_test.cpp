#include <gtest/gtest.h>

#include "cli/parameters.h"

namespace cli {
namespace {

// What each typed NAME=VALUE becomes with a device of 1 decimal place: the
// word sent, or the start of the refusal.
TEST(CliParameters, TypedValuesBecomeWordsOrRefusals) {
    struct Case {
        const char* argument;
        int word;  // -1: refused
        const char* refusal;
    } cases[] = {
        {"signal-source=PT100", 0, ""},
        {"signal-source=k", 3, ""},
        {"signal-source=K Type", 3, ""},
        {"signal-source=K\u578B", 3, ""},
        {"signal-source=14", 14, ""},
        {"signal-source=float level", 14, ""},
        {"signal-source=15", -1, "signal-source=15 refused: not in the list"},
        {"signal-source=X", -1, "signal-source=X refused: not in the list"},
        {"gain=25", 2, ""},
        {"gain=12.5", 1, ""},
        {"gain=code:8", 8, ""},
        {"gain=2", -1, "gain=2 refused: not in the list"},
        {"zero-offset=12.5", 125, ""},
        {"zero-offset=2.3", 23, ""},
        {"zero-offset=6553.5", 65535, ""},
        {"zero-offset=6553.6", -1,
         "zero-offset=6553.6 refused: out of range; it takes 0.0 to 6553.5 °C at 1 decimal"},
        {"zero-offset=-1.5", -1,
         "zero-offset=-1.5 refused: out of range; it takes 0.0 to 6553.5 °C at 1 decimal"},
        {"temp-comp=1e9", -1,
         "temp-comp=1e9 refused: out of range; it takes 0.0 to 6553.5 °C at 1 decimal"},
        {"temp-comp=abc", -1, "temp-comp=abc refused: not a number"},
        {"lower-limit=-50", 0xFFCE, ""},
        {"upper-limit=70000", -1,
         "upper-limit=70000 refused: out of range; it takes -32768 to 32767"},
        {"upper-limit=12.7", -1, "upper-limit=12.7 refused: not a number"},
        {"zero-output=65535", 65535, ""},
        {"full-sample=", -1, "full-sample= refused: not a number"},
        {"unit=1", -1, "unknown parameter 'unit'"},
        {"zero-offset", -1, "expected NAME=VALUE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument);
        auto parsed = ParseAssignment(c.argument);
        std::string refusal;
        if (auto* a = std::get_if<Assignment>(&parsed)) {
            refusal = Resolve(*a, 1, 0);  // °C
            if (refusal.empty()) {
                ASSERT_TRUE(a->word.has_value());
                EXPECT_EQ(*a->word, c.word);
            }
        } else {
            refusal = std::get<std::string>(parsed);
        }
        if (c.word < 0) {
            EXPECT_EQ(refusal.rfind(c.refusal, 0), 0u) << refusal;
        } else {
            EXPECT_EQ(refusal, "");
        }
    }
}

}  // namespace
}  // namespace cli
