// The port box follows the machine: adapters plugged in and pulled show up
// without a restart, the selection stays with its port, and each entry
// tells which adapter it is.

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QComboBox>

#include "serial/impl/list_ports_unix.h"
#include "tests/serial/fake_sysfs.h"
#include "ui/main/control_ids.h"
#include "window_harness.h"

using namespace mainwnd;
using mainwnd_test::MainWindowHarness;
using serial_test::FakeSystem;

namespace {

// Port news through a pipe: the test writes a byte where udev would send
// an event.
class CPipeMonitor final : public CPortMonitor {
public:
    explicit CPipeMonitor(int readEnd) : m_fd(readEnd) {}
    ~CPipeMonitor() override { ::close(m_fd); }
    std::intptr_t WaitHandle() const override { return m_fd; }
    bool TakeChanges() override {
        char buffer[16];
        bool any = false;
        while (::read(m_fd, buffer, sizeof buffer) > 0) any = true;
        return any;
    }

private:
    int m_fd;
};

class PortList : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::pipe2(m_pipe, O_NONBLOCK | O_CLOEXEC), 0);
        AddAdapter("1-1", "ttyUSB0", "FT232R USB UART", "A50285BI");
        m_sys.tty("ttyS0", m_sys.device("pnp0/00:05", "serial"), "4");

        MainWindowHarness::Config config;
        config.listPorts = [this](std::vector<SSerInfo>& ports) {
            ListSerialPortsIn(ports, false, m_sys.ttyClass(), m_sys.dev());
        };
        const int readEnd = m_pipe[0];
        config.portMonitor = [readEnd] { return std::make_unique<CPipeMonitor>(readEnd); };
        h = std::make_unique<MainWindowHarness>(config);
        h->ChooseVersion();
    }
    void TearDown() override {
        h.reset();
        ::close(m_pipe[1]);
    }

    void AddAdapter(const std::string& usbPort, const std::string& tty, const std::string& product,
                    const std::string& serialNumber) {
        const std::string usb = "pci0000:00/usb1/" + usbPort;
        m_sys.usbDevice(usb, product, serialNumber);
        m_sys.tty(tty, m_sys.device(usb + "/" + usbPort + ":1.0/" + tty, "ftdi_sio"));
        m_sys.byIdLink("usb-FTDI_" + product.substr(0, 5) + "_" + serialNumber + "-if00-port0",
                       tty);
    }
    // What udev does on a plug or a pull: one byte of news.
    void Announce() { ASSERT_EQ(::write(m_pipe[1], "x", 1), 1); }

    QStringList Entries() const {
        QStringList out;
        for (int i = 0; i < h->Dlg().ComboGetCount(IDC_PORT); ++i)
            out << h->Dlg().ComboGetLBText(IDC_PORT, i);
        return out;
    }
    QString Selected() const {
        return h->Dlg().ComboGetLBText(IDC_PORT, h->Dlg().ComboGetCurSel(IDC_PORT));
    }
    QString ToolTip(const QString& entry) const {
        auto* box = h->Dlg().ItemAs<QComboBox>(IDC_PORT);
        return box->itemData(box->findText(entry), Qt::ToolTipRole).toString();
    }

    FakeSystem m_sys;
    int m_pipe[2] = {-1, -1};
    std::unique_ptr<MainWindowHarness> h;
};

TEST_F(PortList, FollowsPlugAndPullAndKeepsTheSelection) {
    const QString sim = QString::fromStdString(h->Sim().SlavePath());
    ASSERT_EQ(Entries(), (QStringList{sim, "ttyS0", "ttyUSB0"}));
    h->Dlg().ComboSetCurSel(IDC_PORT, 1);

    AddAdapter("1-2", "ttyUSB1", "FT232R USB UART", "B7712");
    Announce();
    ASSERT_TRUE(MainWindowHarness::WaitFor([&] { return Entries().size() == 4; }));
    EXPECT_EQ(Entries(), (QStringList{sim, "ttyS0", "ttyUSB0", "ttyUSB1"}));
    EXPECT_EQ(Selected(), QStringLiteral("ttyS0"));

    h->Dlg().ComboSetCurSel(IDC_PORT, 3);
    m_sys.removeTty("ttyUSB0");
    Announce();
    ASSERT_TRUE(MainWindowHarness::WaitFor([&] { return Entries().size() == 3; }));
    EXPECT_EQ(Entries(), (QStringList{sim, "ttyS0", "ttyUSB1"}));
    EXPECT_EQ(Selected(), QStringLiteral("ttyUSB1"));
    // The entry still opens its own port after the list moved under it.
    EXPECT_EQ(h->Dlg().ComboGetItemData(IDC_PORT, 2), 2);

    // The selected adapter pulled: the first entry is chosen.
    m_sys.removeTty("ttyUSB1");
    Announce();
    ASSERT_TRUE(MainWindowHarness::WaitFor([&] { return Entries().size() == 2; }));
    EXPECT_EQ(Selected(), sim);
}

TEST_F(PortList, OpeningTheBoxListsAgain) {
    AddAdapter("1-3", "ttyUSB2", "FT232R USB UART", "C1");  // no news sent
    auto* box = h->Dlg().ItemAs<QComboBox>(IDC_PORT);
    box->showPopup();
    EXPECT_TRUE(Entries().contains(QStringLiteral("ttyUSB2")));
    box->hidePopup();
}

TEST_F(PortList, TooltipTellsTheAdapterApart) {
    const QString byId = QString::fromStdString(m_sys.dev()) + "/serial/by-id/";
    EXPECT_EQ(ToolTip("ttyUSB0"),
              byId + "usb-FTDI_FT232_A50285BI-if00-port0\nUSB 0403:6001\nSerial number A50285BI");
    EXPECT_EQ(ToolTip("ttyS0"),
              "Communications Port\n" + QString::fromStdString(m_sys.dev()) + "/ttyS0");
    h->Snapshot(QStringLiteral("issue12/port_list"));
}

}  // namespace
