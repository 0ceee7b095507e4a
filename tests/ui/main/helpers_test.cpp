#include "ui/main/port_entry.h"
#include "ui/main/spin_step.h"

#include <gtest/gtest.h>

namespace {

TEST(PortBoxEntry, NameIsCutFromBetweenTheParentheses) {
    const struct {
        const char* friendly;
        const char* entry;
    } cases[] = {
        {"Communications Port (COM1)", "COM1"},
        {"FT232R USB UART (ttyUSB0)", "ttyUSB0"},
        {"Simulated transmitter (/dev/pts/4)", "/dev/pts/4"},
        {"/tmp/vcom (/tmp/vcom)", "/tmp/vcom"},
        {"A (b) (ttyS0)", "b"},  // the first pair wins
        {"ttyS0)", "ttyS0"},     // no "(": text before ")"
        {"Port (COM3", ""},      // no ")" after "("
        {"ttyS0", ""},
        {"x) (y", ""},  // ")" before "(": nothing between
        {"()", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PortBoxEntry(QString::fromUtf8(c.friendly)), QString::fromUtf8(c.entry))
            << c.friendly;
}

TEST(SpinStep, UpReportsMinusOneAndStaysWithinSixteenBits) {
    const struct {
        const char* text;
        int delta;
        const char* result;
    } cases[] = {
        {"100", -1, "101"},
        {"100", +1, "99"},
        {"65534", -1, "65535"},
        {"65535", -1, "65535"},
        {"99999", -1, "65535"},
        {"1", +1, "0"},
        {"0", +1, "0"},
        {"-7", +1, "0"},
        {"-7", -1, "0"},
        {"abc", -1, "1"},  // a non-number counts as 0
        {"abc", +1, "0"},
        {"", -1, "1"},
        {"  12.7", -1, "13"},
        {"70000", +1, "65535"},
        {"99999999999999999999", -1, "65535"},
        {"100", -5, "105"},  // larger steps move by their size
        {"100", +5, "95"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SpinStep(QString::fromUtf8(c.text), c.delta), QString::fromUtf8(c.result))
            << c.text << " " << c.delta;
}

}  // namespace
