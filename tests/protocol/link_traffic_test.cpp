#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "protocol/trace_file.h"
#include "protocol/traffic_record.h"
#include "tests/protocol/link_rig.h"

namespace protocol::testing {
namespace {

// "TX 01 06 ... | meaning" for each entry: the trace line without its times.
std::vector<std::string> Lines(const CTrafficRecord& record) {
    std::vector<std::string> lines;
    for (const auto& entry : record.Since(0)) {
        const std::string line = TraceLine(*entry);
        lines.push_back(line.substr(line.find(' ', line.find(' ') + 1) + 1));
    }
    return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
}

// True if `line` holds the parts of `pattern` between its '*', in order.
bool Matches(const std::string& line, const std::string& pattern) {
    std::size_t at = 0;
    std::size_t from = 0;
    for (;;) {
        const std::size_t star = pattern.find('*', from);
        const std::string part = pattern.substr(from, star - from);
        at = line.find(part, at);
        if (at == std::string::npos) return false;
        at += part.size();
        if (star == std::string::npos) return true;
        from = star + 1;
    }
}

// True if every expected pattern matches a line of `lines`, each a later
// line than the one before.
bool InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& expected) {
    std::size_t at = 0;
    for (const auto& want : expected) {
        while (at < lines.size() && !Matches(lines[at], want)) ++at;
        if (at == lines.size()) return false;
        ++at;
    }
    return true;
}

TEST(LinkTraffic, ReadAllIsRecordedFrameByFrameInWords) {
    LinkRig rig(false);
    CTrafficRecord record;
    rig.Link().SetObserver(&record);
    rig.Sim().SetRegister(11, 0);   // °C
    rig.Sim().SetRegister(14, 1);   // one decimal place
    rig.Sim().SetRegister(15, 25);  // zero offset 2.5
    rig.Sim().SetRegister(16, 0xFFCE);
    ASSERT_TRUE(rig.Connect());
    rig.DestroyLink();

    const auto lines = Lines(record);
    EXPECT_TRUE(InOrder(lines,
                        {
                            "TX FF 8F FF FF FF FF 40 5F | connect request",
                            // A reply that arrives in two chunks shows
                            // as the reply and its rest.
                            "RX FF F8*| connect accepted",
                            "TX FF AA FF FF FF FF 0D 98 | link start",
                            "RX FF AA*| link started",
                            "TX 01 03 00 0A 00 01 A4 08 | read register 10 (Signal Source)",
                            "| read register 10 \u2192 0 = Signal Source PT100",
                            "| read register 14 \u2192 1 = Decimals 1",
                            "TX 01 03 00 0F 00 01 B4 09 | read register 15 (Null Offset)",
                            "| read register 15 \u2192 25 = Null Offset 2.5 \u00B0C",
                            "| read register 16 \u2192 65486 = Lower Limit -50 \u00B0C",
                            "| read register 17 ",
                        }))
        << Joined(lines);
    const TrafficCounters c = record.Counters();
    EXPECT_EQ(c.requests, 10u);  // ConnectRequest, LinkStart, registers 10..17
    EXPECT_EQ(c.replies, 10u);
    EXPECT_EQ(c.timeOuts + c.retries + c.lateReplies + c.unexpectedBytes, 0u);
    // Eight bytes at 9600 baud take 8.3 ms on the simulated wire.
    EXPECT_GT(c.latencyMin, 5.0);
    EXPECT_LE(c.latencyMin, c.latencyMedian);
    EXPECT_LE(c.latencyMedian, c.latencyMax);
}

// One write of lower limit = 10 (01 06 00 10 00 0A ...) against a misbehaving
// device: the entries it leaves and the counters.
struct FaultCase {
    const char* name;
    // May return a thread that changes the device's behaviour later.
    std::function<std::thread(LinkRig&)> misbehave;
    std::vector<std::string> expected;
    TrafficCounters counters;   // latencies not compared
    std::intptr_t result = -1;  // the UM_WRITE_RESULT's second parameter; -1: not compared
};

class LinkTrafficFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(LinkTrafficFaults, EachFaultLeavesItsEntries) {
    const FaultCase& c = GetParam();
    CTransmitterLink::Timing quick;
    // Long enough for a loaded machine; a late reply comes 200 ms into
    // the 400 ms guard.
    quick.attempt = 300ms;
    LinkRig rig(false, quick);
    CTrafficRecord record;
    rig.Link().SetObserver(&record);
    std::thread later = c.misbehave(rig);
    ASSERT_TRUE(rig.Link().StartWriteTask(OperationCode::WriteLowerLimit, 10));
    const bool ended = rig.Sink().WaitFor(UM_WRITE_RESULT, 1, 5s);
    if (later.joinable()) later.join();
    ASSERT_TRUE(ended);
    // Late replies of the last attempt land in its guard time.
    std::this_thread::sleep_for(400ms);
    rig.DestroyLink();

    const auto lines = Lines(record);
    EXPECT_TRUE(InOrder(lines, c.expected)) << Joined(lines);
    TrafficCounters got = record.Counters();
    got.latencyMin = got.latencyMedian = got.latencyMax = 0;
    const TrafficCounters& w = c.counters;
    EXPECT_EQ(std::vector<std::uint64_t>({got.requests, got.replies, got.timeOuts, got.retries,
                                          got.lateReplies, got.unexpectedBytes, got.crcErrors}),
              std::vector<std::uint64_t>({w.requests, w.replies, w.timeOuts, w.retries,
                                          w.lateReplies, w.unexpectedBytes, w.crcErrors}))
        << Joined(lines);
    if (c.result >= 0) {
        EXPECT_EQ(c.result, rig.Sink().Messages().front().lParam);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Write, LinkTrafficFaults,
    ::testing::Values(
        FaultCase{"AnsweredAtOnce",
                  [](LinkRig&) { return std::thread(); },
                  {"TX 01 06 00 10 00 0A 08 08 | write register 16 = 10 (Lower Limit 10)",
                   "RX 01 06 00 10*| write register 16 = 10, echo ok"},
                  {1, 1, 0, 0, 0, 0}},
        FaultCase{"SecondAttemptAnswered",
                  [](LinkRig& rig) {
                      rig.Sim().SetSilent(true);
                      return std::thread([&rig] {
                          rig.Sim().WaitForHandled(1, 2s);
                          rig.Sim().SetSilent(false);
                      });
                  },
                  {"TX 01 06 00 10 00 0A", "-- | no reply, attempt 1 of 3",
                   "-- | retry, attempt 2 of 3", "TX 01 06 00 10 00 0A", "echo ok"},
                  {2, 1, 1, 1, 0, 0}},
        FaultCase{
            "EveryReplyLate",
            [](LinkRig& rig) {
                auto faults = rig.Sim().Faults();
                faults.slowRegister = 16;
                faults.slowDelay = 500ms;
                rig.Sim().SetFaults(faults);
                return std::thread();
            },
            {"-- | no reply, attempt 1 of 3", "write register 16 = 10; late reply, discarded",
             "-- | no reply, attempt 3 of 3", "-- | no reply after 3 attempts: write register 16"},
            {3, 0, 3, 2, 3, 0}},
        FaultCase{"StrayBytesBeforeEachReply",
                  [](LinkRig& rig) {
                      auto faults = rig.Sim().Faults();
                      faults.strayPrefix = {0x13, 0x37};
                      rig.Sim().SetFaults(faults);
                      return std::thread();
                  },
                  {"RX 13*| unexpected bytes, no reply",
                   "RX 01 06 00 10*| write register 16 = 10, echo ok"},
                  {1, 1, 0, 0, 0, 2}},
        FaultCase{"AlteredEcho",
                  [](LinkRig& rig) {
                      auto faults = rig.Sim().Faults();
                      faults.alterEcho = true;
                      rig.Sim().SetFaults(faults);
                      return std::thread();
                  },
                  {"RX 01 06 00 10 00 0B*| write register 16 = 11; echo differs from the request, "
                   "discarded"},
                  {3, 0, 3, 2, 3, 0}},
        // Refused at once: no retry, the device's words in the result.
        FaultCase{"ExceptionReply",
                  [](LinkRig& rig) {
                      rig.Sim().SetException(2);
                      return std::thread();
                  },
                  {"RX 01 86 02*| exception illegal data address (02) to write register 16 = 10",
                   "-- | the device refused write register 16 = 10 (Lower Limit 10): illegal data "
                   "address (02)"},
                  {1, 1, 0, 0, 0, 0},
                  ResultParam(ExchangeFailure::Refused, 2)},
        // A flipped bit under the old CRC is no echo: retried, never taken.
        FaultCase{"FlippedBit",
                  [](LinkRig& rig) {
                      auto faults = rig.Sim().Faults();
                      faults.flipEvery = 1;
                      rig.Sim().SetFaults(faults);
                      return std::thread([&rig] {
                          rig.Sim().WaitForHandled(1, 2s);
                          rig.Sim().ClearFaults();
                      });
                  },
                  {"RX 01 06 00 10 00 1A 08 08 | CRC error, discarded",
                   "-- | no reply, attempt 1 of 3", "TX 01 06 00 10 00 0A", "echo ok"},
                  {2, 1, 1, 1, 0, 0, 1},
                  1},
        // A vendor answer nobody asked for is shown and starts nothing.
        FaultCase{"StrayLinkStarted",
                  [](LinkRig& rig) {
                      auto faults = rig.Sim().Faults();
                      faults.strayPrefix = {0xFF, 0xAA};
                      rig.Sim().SetFaults(faults);
                      return std::thread();
                  },
                  {"RX FF AA*| link started; not awaited, discarded",
                   "RX 01 06 00 10*| write register 16 = 10, echo ok"},
                  {1, 1, 0, 0, 1, 0},
                  1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace protocol::testing
