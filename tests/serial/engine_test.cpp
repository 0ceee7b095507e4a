#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "serial/impl/unix_syscalls.h"
#include "serial/serial_com_imp.h"
#include "tests/serial/pty_pair.h"
#include "tests/serial/recorder.h"

namespace {

using Engine = SerialComImp<IComHanlder, 2048>;
using serial_test::PtyPair;
using serial_test::Recorder;

constexpr int kWaitMs = 5000;

Engine MakeEngine(const std::string& port = std::string(),
                  serial::Timeout timeout = serial::Timeout()) {
    return Engine(port, 9600, timeout, serial::eightbits, serial::parity_none, serial::stopbits_one,
                  serial::flowcontrol_none);
}

bool Connect(Engine& engine, const std::string& port, uint32_t readMs = 50) {
    engine.SetParams(port, 9600, serial::Timeout::Total(readMs), serial::eightbits,
                     serial::parity_none, serial::stopbits_one, serial::flowcontrol_none);
    return engine.Open() && engine.Start();
}

// Nothing arrives on the master within waitMs.
bool MasterStaysQuiet(const PtyPair& pty, int waitMs = 100) {
    pollfd fd{pty.master(), POLLIN, 0};
    if (::poll(&fd, 1, waitMs) == 0) {
        return true;
    }
    // With the slave side closed the master reports a hang-up; only bytes
    // count. A hung-up master without data reads EIO at once.
    uint8_t byte;
    return ::read(pty.master(), &byte, 1) <= 0;
}

TEST(Engine, FailedOpenReportsNullAndStartsNothing) {
    Recorder rec;
    Engine engine = MakeEngine("/dev/corvexa-no-such-port");
    engine.SetHandler(&rec);
    const int threads = serial_test::CountThreads();
    EXPECT_FALSE(engine.Open());
    ASSERT_EQ(rec.events().size(), 1u);
    EXPECT_EQ(rec.events()[0].name, "open");
    EXPECT_EQ(rec.events()[0].port, nullptr);
    EXPECT_EQ(rec.events()[0].value, -1);
    EXPECT_EQ(engine.GetSerial(), nullptr);
    EXPECT_FALSE(engine.IsOpen());
    EXPECT_FALSE(engine.Start());
    EXPECT_EQ(serial_test::CountThreads(), threads);
}

TEST(Engine, SetParamsAppliesBetweenConnectionsOnly) {
    PtyPair first, second;
    Recorder rec;
    Engine engine = MakeEngine();
    engine.SetHandler(&rec);

    EXPECT_TRUE(engine.SetParams(first.slavePath(), 9600, serial::Timeout::Total(50),
                                 serial::eightbits, serial::parity_none, serial::stopbits_one,
                                 serial::flowcontrol_none));
    ASSERT_TRUE(engine.Open());
    EXPECT_EQ(rec.events().back().port, engine.GetSerial());
    EXPECT_EQ(rec.events().back().value, 0);
    EXPECT_FALSE(engine.SetParams(second.slavePath(), 9600, serial::Timeout::Total(50),
                                  serial::eightbits, serial::parity_none, serial::stopbits_one,
                                  serial::flowcontrol_none));
    const uint8_t ping[] = {0xFF, 0x8F};
    EXPECT_EQ(engine.Write(ping, 2), 2);
    EXPECT_EQ(first.receive(2), std::vector<uint8_t>(ping, ping + 2));
    engine.Stop();

    EXPECT_TRUE(engine.SetParams(second.slavePath(), 9600, serial::Timeout::Total(50),
                                 serial::eightbits, serial::parity_none, serial::stopbits_one,
                                 serial::flowcontrol_none));
    ASSERT_TRUE(engine.Open());
    EXPECT_EQ(engine.Write(ping, 2), 2);
    EXPECT_EQ(second.receive(2), std::vector<uint8_t>(ping, ping + 2));
    EXPECT_TRUE(MasterStaysQuiet(first));
    engine.Stop();
}

TEST(Engine, DisconnectedWriteAndReadReportNoPort) {
    PtyPair pty;
    Engine engine = MakeEngine(pty.slavePath(), serial::Timeout::Total(50));
    const uint8_t bytes[] = {1, 2, 3};
    uint8_t buffer[4];
    EXPECT_EQ(engine.Write(bytes, 3), -2);  // never opened
    EXPECT_EQ(engine.Read(buffer, 4), -2);
    ASSERT_TRUE(engine.Open());
    engine.Close();
    EXPECT_EQ(engine.Write(bytes, 3), -2);  // opened, then closed
    EXPECT_EQ(engine.Read(buffer, 4), -2);
    EXPECT_TRUE(MasterStaysQuiet(pty));
}

TEST(Engine, ConnectionNotifiesInOrderAndDeliversChunks) {
    PtyPair pty;
    Recorder rec;
    Engine engine = MakeEngine();
    engine.SetHandler(&rec);
    ASSERT_TRUE(Connect(engine, pty.slavePath()));
    serial::Serial* port = engine.GetSerial();
    const std::vector<uint8_t> reply{0xFF, 0xF8, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00};
    pty.send(reply);
    ASSERT_TRUE(rec.waitFor([&] { return rec.bytes().size() >= reply.size(); }));
    EXPECT_EQ(rec.bytes(), reply);
    engine.Stop();

    const std::vector<std::string> names = rec.names();
    ASSERT_GE(names.size(), 5u);
    EXPECT_EQ(names[0], "open");
    EXPECT_EQ(names[1], "start");
    EXPECT_EQ(rec.count("close"), 1);
    EXPECT_EQ(rec.count("exit"), 1);
    EXPECT_EQ(rec.count("error"), 0);
    for (const auto& e : rec.events()) {
        EXPECT_EQ(e.port, port) << e.name;
    }
    EXPECT_FALSE(engine.IsOpen());
}

// A read fills the whole 2048-byte buffer; the next one continues.
TEST(Engine, FullBufferThenTheRest) {
    PtyPair pty;
    Recorder rec;
    Engine engine = MakeEngine();
    engine.SetHandler(&rec);
    // A long read window so each read ends on a full buffer, not the clock.
    ASSERT_TRUE(Connect(engine, pty.slavePath(), 3000));
    std::vector<uint8_t> data(3000);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i * 7 + i / 256);
    }
    pty.send(data);
    ASSERT_TRUE(rec.waitFor([&] { return rec.bytes().size() >= data.size(); }));
    engine.Stop();
    std::vector<int32_t> chunks;
    for (const auto& e : rec.events()) {
        if (e.name == "receive") {
            chunks.push_back(e.value);
        }
    }
    ASSERT_FALSE(chunks.empty());
    EXPECT_EQ(chunks[0], 2048);
    EXPECT_EQ(rec.bytes(), data);
}

TEST(Engine, StopWithoutStartOnlyCloses) {
    PtyPair pty;
    Recorder rec;
    Engine engine = MakeEngine(pty.slavePath(), serial::Timeout::Total(50));
    engine.SetHandler(&rec);
    engine.Stop();  // nothing open, nothing started
    EXPECT_TRUE(rec.events().empty());
    ASSERT_TRUE(engine.Open());
    engine.Stop();
    EXPECT_EQ(rec.names(), (std::vector<std::string>{"open", "close"}));
    EXPECT_FALSE(engine.IsOpen());
}

TEST(Engine, CloseOnClosedPortSendsNothing) {
    PtyPair pty;
    Recorder rec;
    Engine engine = MakeEngine(pty.slavePath(), serial::Timeout::Total(50));
    engine.SetHandler(&rec);
    engine.Close();  // no port object yet
    ASSERT_TRUE(engine.Open());
    engine.Close();
    engine.Close();
    EXPECT_EQ(rec.names(), (std::vector<std::string>{"open", "close"}));
}

TEST(Engine, StartTwiceOnOneConnectionKeepsOneReader) {
    PtyPair pty;
    Recorder rec;
    Engine engine = MakeEngine();
    engine.SetHandler(&rec);
    ASSERT_TRUE(Connect(engine, pty.slavePath()));
    EXPECT_FALSE(engine.Start());
    engine.Stop();
    EXPECT_EQ(rec.count("start"), 1);
    EXPECT_EQ(rec.count("exit"), 1);
}

// Open while connected replaces the port; the old receive thread ends on
// its own port and the next Start serves the new one.
TEST(Engine, ReopenWithoutStopRetiresTheOldReader) {
    PtyPair pty;
    Recorder rec;
    Engine engine = MakeEngine();
    engine.SetHandler(&rec);
    ASSERT_TRUE(Connect(engine, pty.slavePath()));
    ASSERT_TRUE(engine.Open());
    ASSERT_TRUE(engine.Start());
    pty.send({0x01, 0x06});
    ASSERT_TRUE(rec.waitFor([&] { return rec.bytes().size() >= 2; }));
    engine.Stop();
    EXPECT_EQ(rec.count("start"), 2);
    EXPECT_EQ(rec.count("exit"), 2);
    EXPECT_EQ(rec.count("close"), 1);  // the replaced port closes silently
}

TEST(Engine, HandlerSwapTakesEffectForTheNextChunk) {
    PtyPair pty;
    Recorder first, second;
    Engine engine = MakeEngine();
    engine.SetHandler(&first);
    ASSERT_TRUE(Connect(engine, pty.slavePath()));
    pty.send({0x11});
    ASSERT_TRUE(first.waitFor([&] { return first.bytes().size() == 1; }));
    engine.SetHandler(&second);
    pty.send({0x22});
    ASSERT_TRUE(second.waitFor([&] { return second.bytes().size() == 1; }));
    engine.SetHandler(nullptr);
    engine.Stop();
    EXPECT_EQ(first.bytes(), std::vector<uint8_t>{0x11});
    EXPECT_EQ(second.bytes(), std::vector<uint8_t>{0x22});
    EXPECT_EQ(second.count("exit"), 0);
}

// A receive thread stuck in its handler cannot be killed safely: Stop gives
// up after its time-out, the thread is left to finish on its own and makes
// no further calls once released.
TEST(Engine, StopWithTimeOutAbandonsAStuckReader) {
    PtyPair pty;
    Recorder rec;
    std::mutex gate;
    std::condition_variable changed;
    bool release = false;
    bool left = false;
    std::atomic<bool> inside{false};
    rec.onReceive = [&] {
        inside = true;
        std::unique_lock lock(gate);
        changed.wait(lock, [&] { return release; });
        // The last touch of this test's objects, under the gate lock.
        left = true;
        changed.notify_all();
    };
    const int threads = serial_test::CountThreads();
    {
        Engine engine = MakeEngine();
        engine.SetHandler(&rec);
        ASSERT_TRUE(Connect(engine, pty.slavePath()));
        pty.send({0x42});
        ASSERT_TRUE(rec.waitFor([&] { return inside.load(); }));
        engine.Stop(100);
        EXPECT_FALSE(engine.IsOpen());
    }  // the engine is gone while its old thread still waits in the handler
    {
        std::unique_lock lock(gate);
        release = true;
        changed.notify_all();
        ASSERT_TRUE(
            changed.wait_for(lock, std::chrono::milliseconds(kWaitMs), [&] { return left; }));
    }
    EXPECT_TRUE(serial_test::ThreadsSettleAt(threads));
    EXPECT_EQ(rec.count("exit"), 0);
}

TEST(Engine, DestroyingAConnectedEngineEndsItsReader) {
    PtyPair pty;
    Recorder rec;
    const int threads = serial_test::CountThreads();
    {
        Engine engine = MakeEngine();
        engine.SetHandler(&rec);
        ASSERT_TRUE(Connect(engine, pty.slavePath()));
    }
    EXPECT_EQ(rec.count("exit"), 1);
    EXPECT_TRUE(serial_test::ThreadsSettleAt(threads));
}

// A pulled adapter must not make the receive thread spin: with the line
// hung up, each loop still waits out its read time-out.
TEST(Engine, VanishedDeviceIsReportedAndKeepsTheReceiverPaced) {
    serial_test::PtyPair pty;
    Recorder rec;
    Engine engine = MakeEngine();
    engine.SetHandler(&rec);
    // Swapped before the receive thread exists, restored after it ended.
    static std::atomic<int> polls{0};
    serial::unix_sys::calls().poll = [](pollfd* fds, nfds_t n, int t) {
        ++polls;
        return ::poll(fds, n, t);
    };
    ASSERT_TRUE(Connect(engine, pty.slavePath()));
    polls = 0;
    pty.closeMaster();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const int seen = polls.load();
    const uint8_t byte = 0x01;
    EXPECT_EQ(engine.Write(&byte, 1), -1);
    engine.Stop();
    serial::unix_sys::calls() = serial::unix_sys::realCalls();
    // About two polls per 50 ms read; a spinning loop makes many thousands.
    EXPECT_LT(seen, 100);
    EXPECT_EQ(rec.count("exit"), 1);
    // The line that went away is reported as a failed read, once per paced
    // read, never as a closed port.
    const int errors = rec.count("error");
    EXPECT_GE(errors, 1);
    EXPECT_LT(errors, 20);
    for (const auto& e : rec.events()) {
        if (e.name == "error") {
            EXPECT_EQ(e.value, -1);
        }
    }
}

// The window connects and disconnects many times in a session; nothing may
// be left behind.
TEST(Engine, TwoHundredConnectionsLeaveNoThreadOrDescriptor) {
    PtyPair pty;
    Recorder rec;
    Engine engine = MakeEngine();
    engine.SetHandler(&rec);
    const int fds = serial_test::CountOpenDescriptors();
    const int threads = serial_test::CountThreads();
    const uint8_t request[] = {0x01, 0x03, 0x00, 0x0A, 0x00, 0x01, 0xA4, 0x08};
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(Connect(engine, pty.slavePath())) << "cycle " << i;
        ASSERT_EQ(engine.Write(request, 8), 8);
        pty.receive(8);
        engine.Stop();
    }
    EXPECT_EQ(rec.count("start"), 200);
    EXPECT_EQ(rec.count("exit"), 200);
    // The last port object stays allocated but closed until the next Open.
    EXPECT_EQ(serial_test::CountOpenDescriptors(), fds);
    EXPECT_TRUE(serial_test::ThreadsSettleAt(threads));
}

// Worker threads write and poll IsOpen while the window thread connects and
// disconnects: every result is a valid code and nothing is used after free.
TEST(Engine, WritersRaceConnectAndDisconnect) {
    PtyPair pty;
    Engine engine = MakeEngine();
    std::atomic<bool> done{false};
    std::atomic<int> bad{0};
    auto writer = [&] {
        const uint8_t byte = 0x5A;
        while (!done) {
            const int32_t r = engine.Write(&byte, 1);
            if (r != -2 && r != -1 && r != 1 && r != 0) {
                ++bad;
            }
            engine.IsOpen();
        }
    };
    // A hang-up between connections also wakes poll(); never block on it.
    ::fcntl(pty.master(), F_SETFL, ::fcntl(pty.master(), F_GETFL) | O_NONBLOCK);
    std::thread drain([&] {
        uint8_t sink[256];
        while (!done) {
            pollfd fd{pty.master(), POLLIN, 0};
            if (::poll(&fd, 1, 10) <= 0 || ::read(pty.master(), sink, sizeof sink) <= 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    });
    std::thread w1(writer), w2(writer);
    for (int i = 0; i < 30; ++i) {
        Connect(engine, pty.slavePath(), 5);
        engine.Stop();
        engine.Open();
    }
    done = true;
    w1.join();
    w2.join();
    drain.join();
    engine.Stop();
    EXPECT_EQ(bad.load(), 0);
}

}  // namespace
