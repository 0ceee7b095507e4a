// The traffic window: opened from the menu bar, it follows the line while
// the device is sampled, and pauses, clears, copies and saves its rows.

#include "ui/main/traffic_window.h"
#include "tests/ui/main/corvexa_dlg_test_peer.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QThread>

#include "protocol/traffic_record.h"
#include "ui/main/control_ids.h"
#include "ui/main/traffic_ids.h"
#include "ui/main/traffic_model.h"
#include "window_harness.h"

using namespace mainwnd;
using namespace trafficwnd;
using mainwnd_test::MainWindowHarness;

namespace {

template <typename T>
T* Control(QWidget& window, int id) {
    return window.findChild<T*>(QString::number(id));
}

// Rows whose meaning holds `text`.
int RowsSaying(CTrafficModel& model, const char* text) {
    int n = 0;
    for (int row = 0; row < model.rowCount(); ++row)
        n += QString::fromStdString(model.Entry(row).meaning).contains(QString::fromUtf8(text));
    return n;
}

void Settle(int ms) {
    MainWindowHarness::WaitFor([] { return false; }, ms);
}

TEST(TrafficWindow, FollowsSamplingAndPausesClearsCopiesAndSaves) {
    const QString tracePath = QDir::temp().filePath(
        QStringLiteral("corvexa_trace_%1.txt").arg(QCoreApplication::applicationPid()));
    QFile::remove(tracePath);
    MainWindowHarness::Config config;
    config.trace = std::make_shared<protocol::CTraceFile>(tracePath.toStdString());
    MainWindowHarness h(config);
    h.ChooseVersion();
    ASSERT_TRUE(h.ConnectAndWaitOnline());
    {
        // --trace: the same entries as text, one a line.
        QFile trace(tracePath);
        ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(trace.readAll());
        trace.remove();
        EXPECT_TRUE(
            text.contains(QStringLiteral(" TX FF 8F FF FF FF FF 40 5F | connect request\n")));
        EXPECT_TRUE(text.contains(
            QStringLiteral(" TX 01 03 00 17 00 01 34 0E | read register 23 (Full Output)\n")))
            << text.toStdString();
    }
    EXPECT_EQ(CCorvexaDlgTestPeer::TrafficWindow(h.Dlg()), nullptr);

    auto* open =
        h.Dlg().findChild<QMenuBar*>()->findChild<QAction*>(QString::number(ID_VIEW_TRAFFIC));
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->text(), QStringLiteral("&Traffic"));
    open->trigger();
    CTrafficWindow* window = CCorvexaDlgTestPeer::TrafficWindow(h.Dlg());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Traffic"));
    CTrafficModel& model = window->Model();
    // The handshake and the read-all of 14 registers, each request with its reply.
    EXPECT_EQ(RowsSaying(model, "connect request"), 1);
    EXPECT_EQ(RowsSaying(model, "read register 23 (Full Output)"), 1);
    EXPECT_TRUE(Control<QLabel>(*window, IDC_TRAFFIC_COUNTERS)
                    ->text()
                    .startsWith(QStringLiteral("Requests 16   Replies 16   Time-outs 0")))
        << Control<QLabel>(*window, IDC_TRAFFIC_COUNTERS)->text().toStdString();

    // Sampling: rows keep coming without anyone touching the window.
    h.Click(IDC_ZERO_SAMPLE_BTN);
    const int before = model.rowCount();
    ASSERT_TRUE(
        MainWindowHarness::WaitFor([&] { return RowsSaying(model, "read register 20") >= 6; }));
    EXPECT_GT(model.rowCount(), before);

    Control<QPushButton>(*window, IDC_TRAFFIC_PAUSE)->click();
    EXPECT_EQ(Control<QPushButton>(*window, IDC_TRAFFIC_PAUSE)->text(), QStringLiteral("Resume"));
    const int paused = model.rowCount();
    Settle(400);
    EXPECT_EQ(model.rowCount(), paused);
    Control<QPushButton>(*window, IDC_TRAFFIC_PAUSE)->click();
    EXPECT_GT(model.rowCount(), paused);  // what came meanwhile shows at once

    Control<QPushButton>(*window, IDC_TRAFFIC_CLEAR)->click();
    EXPECT_EQ(model.rowCount(), 0);
    ASSERT_TRUE(MainWindowHarness::WaitFor([&] { return model.rowCount() >= 4; }));
    h.Click(IDC_ZERO_SAMPLE_BTN);  // sampling off

    // A refused value leaves a highlighted row and sends nothing.
    h.SetText(IDC_UPPER, QStringLiteral("70000"));
    h.Click(IDC_UPPER_SET);
    ASSERT_TRUE(MainWindowHarness::WaitFor([&] {
        window->Update();
        return RowsSaying(model, "refused Upper Limit \"70000\": out of range") == 1;
    }));
    const int last = model.rowCount() - 1;
    EXPECT_TRUE(model.Entry(last).error);
    EXPECT_TRUE(
        model.data(model.index(last, CTrafficModel::kMeaning), Qt::BackgroundRole).isValid());
    EXPECT_FALSE(model.data(model.index(0, CTrafficModel::kMeaning), Qt::BackgroundRole).isValid());

    auto* table = Control<QTableView>(*window, IDC_TRAFFIC_TABLE);
    table->selectRow(last);
    Control<QPushButton>(*window, IDC_TRAFFIC_COPY)->click();
    EXPECT_TRUE(
        QApplication::clipboard()->text().contains(QStringLiteral(" -- | refused Upper Limit")))
        << QApplication::clipboard()->text().toStdString();

    const QString csv = QDir::temp().filePath(
        QStringLiteral("corvexa_traffic_%1.csv").arg(QCoreApplication::applicationPid()));
    ASSERT_TRUE(window->SaveTo(csv, true));
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines =
        QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    file.remove();
    ASSERT_EQ(lines.size(), model.rowCount() + 1);
    EXPECT_EQ(lines.front(), CTrafficModel::CsvHeader());
    EXPECT_TRUE(
        lines.back().endsWith(QStringLiteral(",--,,\"refused Upper Limit \"\"70000\"\": out of "
                                             "range; it takes -32768 to 32767; nothing sent\",1")))
        << lines.back().toStdString();

    // Closed, it takes nothing; shown again, it has what came meanwhile.
    window->close();
    h.Click(IDC_UPPER_SET);
    Settle(200);
    EXPECT_EQ(RowsSaying(model, "refused Upper Limit"), 1);
    window->show();
    EXPECT_EQ(RowsSaying(model, "refused Upper Limit"), 2);
}

}  // namespace
