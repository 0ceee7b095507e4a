#include "protocol/traffic_record.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "protocol/trace_file.h"

namespace protocol {
namespace {

TEST(TrafficRecord, KeepsTheLastEntriesAndCountsTheWholeConnection) {
    CTrafficRecord record;
    const Frame read = ReadRequest(15);
    for (int i = 0; i < 10030; ++i) record.OnSent(read, 1, 3);
    EXPECT_EQ(record.LastSequence(), 10030u);
    EXPECT_EQ(record.FirstSequence(), 31u);
    const auto all = record.Since(0);
    ASSERT_EQ(all.size(), 10000u);
    EXPECT_EQ(all.front()->sequence, 31u);
    EXPECT_EQ(all.back()->sequence, 10030u);
    const auto newest = record.Since(10027);
    ASSERT_EQ(newest.size(), 3u);
    EXPECT_EQ(newest.front()->sequence, 10028u);
    EXPECT_TRUE(record.Since(10030).empty());
    EXPECT_EQ(record.Counters().requests, 10030u);

    record.Clear();
    EXPECT_TRUE(record.Since(0).empty());
    EXPECT_EQ(record.Counters().requests, 10030u);  // counters are the connection's
    record.OnTimedOut(read, 1, 3);
    ASSERT_EQ(record.Since(0).size(), 1u);
    EXPECT_EQ(record.Since(0).front()->sequence, 10031u);

    record.BeginConnection("/dev/ttyUSB0");
    EXPECT_EQ(record.Counters().requests, 0u);
    EXPECT_EQ(record.Since(10031).front()->meaning, "connection begun on /dev/ttyUSB0");
}

TEST(TrafficRecord, LatencyMedianOfTheAwaitedReplies) {
    CTrafficRecord record;
    ReceivedRun reply;
    reply.kind = ReceivedRun::Kind::Reply;
    reply.reply.kind = ReplyKind::RegisterValue;
    reply.awaited = true;
    for (int i = 0; i < 3; ++i) {
        record.OnSent(ReadRequest(20), 1, 3);
        record.OnReceivedRuns({reply});
    }
    reply.awaited = false;  // a discarded reply says nothing of latency
    record.OnReceivedRuns({reply});
    const TrafficCounters c = record.Counters();
    EXPECT_EQ(c.replies, 3u);
    EXPECT_EQ(c.lateReplies, 1u);
    EXPECT_LE(c.latencyMin, c.latencyMedian);
    EXPECT_LE(c.latencyMedian, c.latencyMax + 0.05);
    EXPECT_LT(c.latencyMax, 100.0);
}

TEST(TrafficRecord, TraceLineIsTimeDirectionHexAndMeaning) {
    TrafficEntry entry;
    entry.wallClock = std::chrono::sys_days{std::chrono::year{2026} / 12 / 8} +
                      std::chrono::hours(9) + std::chrono::minutes(5) +
                      std::chrono::milliseconds(7042);
    entry.sinceConnection = 1234.5;
    struct Case {
        TrafficDirection direction;
        std::vector<std::uint8_t> bytes;
        const char* line;
    } cases[] = {
        {TrafficDirection::Sent,
         {0x01, 0x03, 0x00, 0x0F},
         "2026-12-08T09:05:07.042Z +1234.500 TX 01 03 00 0F | m"},
        {TrafficDirection::Received,
         {0xFF, 0xaa},
         "2026-12-08T09:05:07.042Z +1234.500 RX FF AA | m"},
        {TrafficDirection::Event, {}, "2026-12-08T09:05:07.042Z +1234.500 -- | m"},
    };
    for (const Case& c : cases) {
        entry.direction = c.direction;
        entry.bytes = c.bytes;
        entry.meaning = "m";
        EXPECT_EQ(TraceLine(entry), c.line);
    }
}

TEST(TrafficMeaning, RequestsAndValuesInTheWindowsWords) {
    CTrafficMeaning meaning;
    EXPECT_EQ(meaning.Request(VendorFrame(VendorCommand::LinkEnd)), "link end");
    EXPECT_EQ(meaning.Request(ReadRequest(23)), "read register 23 (Full Output)");
    EXPECT_EQ(meaning.Request(ReadRequest(40)), "read register 40");
    // Before decimals and unit were read: the word as it is.
    EXPECT_EQ(meaning.Request(WriteRequest(15, 125)), "write register 15 = 125 (Null Offset 125)");

    ReceivedRun run;
    run.kind = ReceivedRun::Kind::Reply;
    run.reply.kind = ReplyKind::RegisterValue;
    run.awaited = true;
    for (auto [reg, word] : {std::pair{14, 2}, std::pair{11, 0}}) {
        run.request = ReadRequest(static_cast<std::uint16_t>(reg));
        run.reply.value = static_cast<std::uint16_t>(word);
        meaning.Run(run);
    }
    struct Case {
        std::uint16_t reg, word;
        const char* shown;
    } cases[] = {
        {10, 3, "K Type"},           {10, 99, "code:99"},         {12, 7, "7"},  {13, 1, "2400"},
        {15, 1234, "12.34 \u00B0C"}, {16, 0xFFCE, "-50 \u00B0C"}, {18, 2, "25"}, {22, 4000, "4000"},
    };
    for (const Case& c : cases) EXPECT_EQ(meaning.Value(c.reg, c.word), c.shown) << c.reg;
}

#ifndef _WIN32
// A reader that stops reading costs lines, never time: they are dropped and
// counted, and one line says how many once the reader catches up.
TEST(TraceFile, AStalledReaderLosesCountedLinesAndHoldsNothingUp) {
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const std::string path = "/proc/self/fd/" + std::to_string(pipeEnds[1]);
    {
        CTraceFile trace(path);
        ASSERT_EQ(trace.Error(), "");
        TrafficEntry entry;
        entry.meaning = std::string(200, 'x');
        const std::size_t written = 3 * CTraceFile::kQueueLines;
        for (std::size_t i = 0; i < written; ++i) trace.Write(entry);  // returns at once
        EXPECT_GT(trace.Dropped(), 0u);
        // The reader catches up; the next entry comes after the count.
        ::fcntl(pipeEnds[0], F_SETFL, O_NONBLOCK);
        std::string text;
        char buffer[65536];
        const auto readAll = [&] {
            for (int idle = 0; idle < 50;) {
                const ssize_t n = ::read(pipeEnds[0], buffer, sizeof buffer);
                if (n > 0) {
                    text.append(buffer, static_cast<std::size_t>(n));
                    idle = 0;
                } else {
                    ++idle;
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                }
            }
        };
        readAll();
        entry.meaning = "after";
        trace.Write(entry);
        ASSERT_TRUE(trace.Drain(std::chrono::seconds(5)));
        readAll();
        // The writer may take lines while the loop still runs, so the drops
        // can come in several runs, each counted by a line of its own.
        const std::string countWords = " trace entries dropped";
        std::uint64_t counted = 0;
        std::size_t lastCount = std::string::npos;
        for (std::size_t at = text.find(countWords); at != std::string::npos;
             at = text.find(countWords, at + 1)) {
            const std::size_t digits = text.find_last_not_of("0123456789", at - 1) + 1;
            counted += std::stoull(text.substr(digits, at - digits));
            lastCount = at;
        }
        EXPECT_EQ(counted, trace.Dropped());
        EXPECT_LT(lastCount, text.find("| after"));
        EXPECT_EQ(trace.WriteError(), "");
    }
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
}
#endif

}  // namespace
}  // namespace protocol
