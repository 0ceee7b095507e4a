// The technician always knows what is happening: why a port did not open,
// that the transmitter is silent, how far the read-all is, which rows are
// sending, when a sample is out of date and when the port went away. Each
// table runs in English and in Chinese and leaves screenshots of what it
// showed in screenshots/issue12/.

#include <errno.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QLineEdit>

#include "lang/language.h"
#include "res/strings/stringtable.h"
#include "serial/impl/unix_syscalls.h"
#include "serial/serial.h"
#include "tests/ui/main/corvexa_dlg_test_peer.h"
#include "ui/main/control_ids.h"
#include "ui/main/main_text.h"
#include "window_harness.h"

using namespace mainwnd;
using mainwnd_test::FrameOf;
using mainwnd_test::MainWindowHarness;

namespace {

using namespace std::chrono_literals;

// Quick attempts, so that three of them run out in about half a second.
protocol::CTransmitterLink::Timing Quick() {
    protocol::CTransmitterLink::Timing t;
    t.attempt = 100ms;
    t.guard = 80ms;
    return t;
}

QString Shot(const char* what, std::uint16_t lang) {
    return QStringLiteral("issue12/%1_%2").arg(QLatin1String(what), lang == 2052 ? "zh" : "en");
}

QString Placeholder(CCorvexaDlg& dlg, int id) {
    auto* edit = qobject_cast<QLineEdit*>(dlg.Item(id));
    return edit != nullptr ? edit->placeholderText() : QString();
}

class InLanguage : public ::testing::TestWithParam<std::uint16_t> {
protected:
    static void SetUpTestSuite() { InitLanguage(); }
    void SetUp() override {
        SetLanguage(GetParam());
        // The Chinese pack really is loaded: its texts are not the built-in ones.
        if (GetParam() == 2052) {
            ASSERT_NE(MainText(163), QString::fromWCharArray(corvexa::res::LoadBuiltinString(163)));
        }
    }
    void TearDown() override { SetLanguage(1033); }

    // The window is offline with the port closed, as after a disconnect.
    static void ExpectOffline(MainWindowHarness& h) {
        EXPECT_FALSE(CCorvexaDlgTestPeer::Connected(h.Dlg()));
        EXPECT_EQ(h.Text(IDC_CONNECT), MainText(107));
        EXPECT_EQ(h.Text(IDC_STATUS), MainText(110));
        EXPECT_EQ(CCorvexaDlgTestPeer::LampBitmap(h.Dlg()), IDB_OFFLINE);
        EXPECT_FALSE(h.Enabled(IDC_OFFSET_SET));
        EXPECT_TRUE(MainWindowHarness::WaitFor(
            [&] { return !CCorvexaDlgTestPeer::Engine(h.Dlg()).IsOpen(); }, 2000));
    }
};

// One port on the machine besides the simulator: the entry "ttyX" opening
// `path`.
CConnectionPanel::PortLister OnePort(std::string path) {
    return [path](std::vector<SSerInfo>& ports) {
        ports.assign(1, SSerInfo{std::wstring(path.begin(), path.end()), L"ttyX", L"Adapter (ttyX)",
                                 true, L"Adapter"});
    };
}

QString GroupOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return {};
    const group* g = ::getgrgid(info.st_gid);
    return g != nullptr ? QString::fromLocal8Bit(g->gr_name) : QString::number(info.st_gid);
}

// Why a port does not open, each with the words that say it. The entry
// "ttyX" opens `path`; without a path the simulator's own entry is used.
struct SOpenCase {
    const char* name;
    const char* path;
    int text;
    void (*inject)(serial::unix_sys::Calls& calls);
    bool held = false;  // another open port holds the claim
};

const SOpenCase kOpenCases[] = {
    {"no_such_port", "/dev/corvexa-no-such-port", 156, nullptr},
    {"not_a_serial_port", "/dev/null", 161, nullptr},
    // Running as root there is no real refusal: the open is refused through
    // the serial layer's seam; the device and its group are real.
    {"no_permission", nullptr, 157,
     [](serial::unix_sys::Calls& c) {
         c.open = [](const char*, int) { return errno = EACCES, -1; };
     }},
    {"busy", nullptr, 159, nullptr, true},
};

class OpenFailure : public InLanguage {};

TEST_P(OpenFailure, SaysWhyAndStaysOffline) {
    for (const SOpenCase& c : kOpenCases) {
        SCOPED_TRACE(c.name);
        MainWindowHarness h({.listPorts = OnePort(c.path != nullptr ? c.path : "/dev/null")});
        h.ChooseVersion();
        h.Dlg().ComboSetCurSel(IDC_PORT, c.path != nullptr ? 1 : 0);
        const QString label = c.path != nullptr ? QStringLiteral("ttyX")
                                                : QString::fromStdString(h.Sim().SlavePath());
        QString expected = MainText(c.text).arg(label);
        std::unique_ptr<serial::Serial> holder;
        if (c.held) {
            holder = std::make_unique<serial::Serial>(h.Sim().SlavePath(), 9600,
                                                      serial::Timeout::Total(50));
            // The holder is named by process number and command name.
            expected =
                MainText(159).arg(label, QStringLiteral("%1 (ui_main_tests)").arg(::getpid()));
        }
        if (c.text == 157) {
            const QString group = GroupOf(h.Sim().SlavePath());
            expected = group.isEmpty() || group == QLatin1String("root")
                           ? MainText(158).arg(label)
                           : MainText(157).arg(label, group);
        }
        if (c.inject != nullptr) c.inject(serial::unix_sys::calls());
        h.SnapshotNextBox(Shot(c.name, GetParam()));
        h.Click(IDC_CONNECT);
        serial::unix_sys::calls() = serial::unix_sys::realCalls();
        ASSERT_TRUE(h.WaitForBox(1));
        EXPECT_EQ(h.Boxes().back().title, label);
        EXPECT_EQ(h.Boxes().back().message, expected);
        ExpectOffline(h);
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, OpenFailure, ::testing::Values(1033, 2052));

// The link ends without the technician: a transmitter that never answers
// the handshake, and a port that goes away while connected.
class LinkEnds : public InLanguage {};

// A handshake without answer: the box says what the line did, after the
// probe at the other rates found the device or did not.
struct SilentLine {
    const char* name;
    bool silent, adapterEcho;
    int deviceBaud;
    int heardText;  // 274 nothing, 275 our own echo, 276 bytes that formed no reply
};

TEST_P(LinkEnds, ANoAnswerSaysWhatTheLineDidAndWhereTheDeviceAnswered) {
    for (const SilentLine& c : {SilentLine{"nothing", true, false, 9600, 274},
                                SilentLine{"own_echo", true, true, 9600, 275},
                                SilentLine{"wrong_rate", false, false, 19200, 276}}) {
        SCOPED_TRACE(c.name);
        MainWindowHarness h({.timing = Quick()});
        h.Sim().SetSilent(c.silent);
        corvexa::sim::FaultModes faults = h.Sim().Faults();
        faults.adapterEcho = c.adapterEcho;
        h.Sim().SetFaults(faults);
        h.Sim().SetBaud(c.deviceBaud);
        h.ChooseVersion();
        h.Click(IDC_CONNECT);
        EXPECT_EQ(h.Text(IDC_STATUS), MainText(230));  // waiting, not "online"
        h.SnapshotNextBox(QStringLiteral("line_doctor/%1_%2")
                              .arg(QLatin1String(c.name), GetParam() == 2052 ? "zh" : "en"));
        ASSERT_TRUE(MainWindowHarness::WaitFor([&] { return !h.Enabled(IDC_CONNECT); }, 3000));
        EXPECT_EQ(h.Text(IDC_STATUS), MainText(279).arg(4800));  // nearest rate first
        ASSERT_TRUE(h.WaitForBox(1, 5000));
        const QString port = QString::fromStdString(h.Sim().SlavePath());
        EXPECT_EQ(h.Boxes()[0].title, port);
        const QStringList lines = h.Boxes()[0].message.split(u'\n');
        ASSERT_EQ(lines.size(), 3) << h.Boxes()[0].message.toStdString();
        EXPECT_EQ(lines[0], MainText(273).arg(port).arg(9600));
        EXPECT_TRUE(lines[1].startsWith(MainText(c.heardText).section(QStringLiteral("%1"), 0, 0)))
            << lines[1].toStdString();
        EXPECT_EQ(lines[2], c.deviceBaud == 9600
                                ? MainText(278).arg(QStringLiteral("4800, 19200, 2400, 1200"))
                                : MainText(277).arg(19200));
        // The probe sent connect requests only, and the button is free again.
        for (const auto& f : h.Frames()) EXPECT_EQ(f[0], 0xFF);
        EXPECT_TRUE(h.Enabled(IDC_CONNECT));
        ExpectOffline(h);
    }
}

TEST_P(LinkEnds, APortThatVanishesTakesTheWindowOfflineWithinASecond) {
    int listings = 0;
    MainWindowHarness h({.listPorts = [&listings](std::vector<SSerInfo>& ports) {
        ports.clear();
        ++listings;
    }});
    h.ChooseVersion();
    ASSERT_TRUE(h.ConnectAndWaitOnline());
    const QString port = QString::fromStdString(h.Sim().SlavePath());
    const int before = listings;
    h.SnapshotNextBox(Shot("port_lost", GetParam()));
    h.VanishPort();
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(
        MainWindowHarness::WaitFor([&] { return !CCorvexaDlgTestPeer::Connected(h.Dlg()); }, 3000));
    EXPECT_LT(clock.elapsed(), 1000);
    ASSERT_TRUE(h.WaitForBox(1));
    EXPECT_EQ(h.Boxes()[0].message, MainText(167).arg(port));
    EXPECT_GT(listings, before);  // the port list was taken again
    ExpectOffline(h);
}

INSTANTIATE_TEST_SUITE_P(Languages, LinkEnds, ::testing::Values(1033, 2052));

// What the status line and the rows say while the device is being read,
// written and sampled.
class Progress : public InLanguage {};

TEST_P(Progress, ReadAllCountsUpAndNamesTheRegistersThatDidNotAnswer) {
    // One attempt each: a retry would take the late reply of the last one.
    protocol::CTransmitterLink::Timing once;
    once.attempts = 1;
    once.attempt = 200ms;
    once.guard = 250ms;
    MainWindowHarness h({.timing = once});
    // Register 15 (zero offset) answers only after its exchange gave up,
    // inside the quiet guard that follows.
    corvexa::sim::FaultModes faults;
    faults.slowRegister = 15;
    faults.slowDelay = 300ms;
    h.Sim().SetFaults(faults);
    h.ChooseVersion();
    h.Click(IDC_CONNECT);
    QStringList seen;
    bool shot = false;
    ASSERT_TRUE(MainWindowHarness::WaitFor([&] {
        const QString status = h.Text(IDC_STATUS);
        if (seen.isEmpty() || seen.back() != status) seen << status;
        if (!shot && status == MainText(164).arg(6).arg(14)) {
            h.Snapshot(Shot("reading", GetParam()));
            shot = true;
        }
        return CCorvexaDlgTestPeer::LampBitmap(h.Dlg()) == IDB_ONLINE;
    }));
    // Counting up, never down, to the last register.
    int last = 0;
    for (int n = 1; n <= 14; ++n) {
        const int at = static_cast<int>(seen.indexOf(MainText(164).arg(n).arg(14)));
        if (at < 0) continue;
        EXPECT_GT(at, last) << n;
        last = at;
    }
    EXPECT_TRUE(seen.contains(MainText(164).arg(14).arg(14)));
    EXPECT_EQ(h.Text(IDC_STATUS), MainText(165).arg(1).arg(14));
    EXPECT_EQ(h.Text(IDC_OFFSET), QString());
    EXPECT_EQ(Placeholder(h.Dlg(), IDC_OFFSET), MainText(166));
    EXPECT_EQ(Placeholder(h.Dlg(), IDC_LOWER), QString());
    h.Snapshot(Shot("online_with_gaps", GetParam()));

    // The zero offset answers on the next try: its mark goes.
    h.Sim().ClearFaults();
    h.Click(IDC_CONNECT);
    ASSERT_TRUE(
        MainWindowHarness::WaitFor([&] { return !CCorvexaDlgTestPeer::Engine(h.Dlg()).IsOpen(); }));
    ASSERT_TRUE(h.ConnectAndWaitOnline());
    EXPECT_EQ(h.Text(IDC_STATUS), MainText(109));
    EXPECT_EQ(Placeholder(h.Dlg(), IDC_OFFSET), QString());
}

TEST_P(Progress, AWriteKeepsItsRowBusyWhileTheOthersStayUsable) {
    MainWindowHarness h;
    h.ChooseVersion();
    ASSERT_TRUE(h.ConnectAndWaitOnline());
    h.Sim().SetReplyDelay(300ms);
    h.SetText(IDC_LOWER, QStringLiteral("-20"));
    h.SetText(IDC_UPPER, QStringLiteral("400"));
    h.Click(IDC_LOWER_SET);
    EXPECT_EQ(h.Text(IDC_LOWER_SET), MainText(231));
    EXPECT_FALSE(h.Enabled(IDC_LOWER_SET));
    EXPECT_TRUE(h.Enabled(IDC_UPPER_SET));
    h.Click(IDC_UPPER_SET);  // queues behind the first
    EXPECT_FALSE(h.Enabled(IDC_UPPER_SET));
    EXPECT_TRUE(h.Enabled(IDC_OFFSET_SET));
    EXPECT_EQ(h.Text(IDC_OFFSET_SET), MainText(131));
    h.Snapshot(Shot("sending", GetParam()));

    ASSERT_TRUE(h.WaitForBox(1));
    EXPECT_EQ(h.Text(IDC_LOWER_SET), MainText(131));
    EXPECT_TRUE(h.Enabled(IDC_LOWER_SET));
    ASSERT_TRUE(h.WaitForBox(2));
    EXPECT_TRUE(h.Enabled(IDC_UPPER_SET));
    EXPECT_EQ(h.Boxes()[1].message, MainText(133));
}

TEST_P(Progress, ASampleWithoutAFreshReadingIsMarkedAndNotStored) {
    MainWindowHarness h({.timing = Quick()});
    h.ChooseVersion();
    ASSERT_TRUE(h.ConnectAndWaitOnline());
    h.Click(IDC_ZERO_SAMPLE_BTN);
    ASSERT_TRUE(MainWindowHarness::WaitFor([&] { return !h.Text(IDC_ZERO_SAMPLE).isEmpty(); }));
    h.Sim().SetSilent(true);
    ASSERT_TRUE(MainWindowHarness::WaitFor(
        [&] { return Placeholder(h.Dlg(), IDC_ZERO_SAMPLE) == MainText(168); }, 3000));
    EXPECT_EQ(h.Text(IDC_ZERO_SAMPLE), QString());
    h.Snapshot(Shot("no_reading", GetParam()));

    h.Sim().ClearFrames();
    h.SnapshotNextBox(Shot("sample_refused", GetParam()));
    h.Click(IDC_ZERO_SAMPLE_BTN);
    ASSERT_TRUE(h.WaitForBox(1));
    EXPECT_EQ(h.Boxes()[0].title, MainText(122));
    EXPECT_EQ(h.Boxes()[0].message, MainText(169));
    EXPECT_EQ(h.Text(IDC_ZERO_SAMPLE_BTN), MainText(130));  // sampling ended
    MainWindowHarness::WaitFor([] { return false; }, 300);
    for (const auto& frame : h.Frames()) EXPECT_NE(frame[1], 0x06) << "a write was sent";

    // A fresh reading takes the mark away.
    h.Sim().SetSilent(false);
    h.Click(IDC_ZERO_SAMPLE_BTN);
    EXPECT_TRUE(MainWindowHarness::WaitFor([&] { return !h.Text(IDC_ZERO_SAMPLE).isEmpty(); }));
    EXPECT_EQ(Placeholder(h.Dlg(), IDC_ZERO_SAMPLE), QString());
}

// A device that refuses the upper limit: its read is marked with the
// device's words and its write ends at once, saying who refused what.
TEST_P(Progress, ARefusalIsMarkedAndSaidInTheDevicesWords) {
    MainWindowHarness h;
    corvexa::sim::FaultModes refuse;
    refuse.exceptionCode = 0x03;
    refuse.exceptionRegister = 17;
    h.Sim().SetFaults(refuse);
    h.ChooseVersion();
    ASSERT_TRUE(h.ConnectAndWaitOnline());
    const QString words = MainText(265) + QStringLiteral(" (03)");
    EXPECT_EQ(Placeholder(h.Dlg(), IDC_UPPER), MainText(260).arg(words));
    EXPECT_EQ(h.Text(IDC_STATUS), MainText(165).arg(1).arg(14));
    h.Snapshot(Shot("refused_read", GetParam()));

    h.Sim().ClearFrames();
    h.SetText(IDC_UPPER, QStringLiteral("120"));
    h.Click(IDC_UPPER_SET);
    ASSERT_TRUE(h.WaitForBox(1));
    EXPECT_EQ(h.Boxes()[0].message,
              MainText(134) + QStringLiteral("\n") + MainText(261).arg(MainText(115), words));
    EXPECT_EQ(1u, h.Frames().size());  // no retry
}

INSTANTIATE_TEST_SUITE_P(Languages, Progress, ::testing::Values(1033, 2052));

}  // namespace
