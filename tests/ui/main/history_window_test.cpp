#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

#include "history/history_store.h"
#include "lang/language.h"
#include "tests/ui/main/corvexa_dlg_test_peer.h"
#include "ui/main/control_ids.h"
#include "ui/main/history_ids.h"
#include "ui/main/history_text_ids.h"
#include "ui/main/history_window.h"
#include "ui/main/main_text.h"
#include "window_harness.h"

using mainwnd_test::MainWindowHarness;

namespace {

using namespace mainwnd;
using namespace historywnd;

template <typename T>
T* Part(QWidget& window, int id) {
    return window.findChild<T*>(QString::number(id));
}

// A session ended in the window goes into the history database with the
// certificate number the database gave; History finds the unit by the
// start of its tag, shows its session, and makes its certificate again
// once the PDF is gone.
TEST(HistoryWindow, ASessionEndedInTheWindowIsFoundAndItsCertificateMadeAgain) {
    MainWindowHarness h;
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("c.pdf"));
    CCorvexaDlgTestPeer::SetReportPrompts(
        h.Dlg(), {[]() -> std::optional<QString> { return QStringLiteral("Li Wei"); },
                  [&](const QString&) { return pdf; }, [](const QString&) { return true; }});
    h.ChooseVersion();
    h.SetText(IDC_TAG, QStringLiteral("TT-5"));
    h.SetText(IDC_SERIAL, QStringLiteral("SN-5"));
    ASSERT_TRUE(h.ConnectAndWaitOnline());
    h.Dlg()
        .findChild<QMenuBar*>()
        ->findChild<QAction*>(QString::number(ID_CALIBRATION_REPORT))
        ->trigger();
    ASSERT_TRUE(h.WaitForBox(1));
    SetTextSetting("Calibration", "Technician", L"");  // the prompt's name is kept for the next
    h.Click(IDC_CONNECT);  // the session ends, and goes into the database

    const std::string database = h.JournalFolder().toStdString() + "/history.sqlite";
    std::vector<history::SessionSummary> sessions;
    ASSERT_TRUE(MainWindowHarness::WaitFor([&] {
        sessions = history::HistoryStore::Open(database)->Sessions({});
        return !sessions.empty();
    }));
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0].technician, "Li Wei");
    EXPECT_TRUE(QString::fromStdString(sessions[0].certificate).endsWith(QStringLiteral("-0001")))
        << sessions[0].certificate;
    EXPECT_EQ(sessions[0].certificateFile, pdf.toStdString());
    ASSERT_TRUE(QFile::remove(pdf));

    QStringList opened;
    CHistoryWindow window(QString::fromStdString(database),
                          [&](const QString& file) { opened << file; });
    window.Refresh();
    Part<QLineEdit>(window, IDC_HISTORY_SEARCH)->setText(QStringLiteral("tt-"));
    auto* devices = Part<QTableWidget>(window, IDC_HISTORY_DEVICES);
    ASSERT_EQ(devices->rowCount(), 1);
    EXPECT_EQ(devices->item(0, 1)->text(), QStringLiteral("SN-5"));
    auto* rows = Part<QTableWidget>(window, IDC_HISTORY_SESSIONS);
    ASSERT_EQ(rows->rowCount(), 1);  // the one device was taken at once
    EXPECT_EQ(rows->item(0, 1)->text(), QStringLiteral("Li Wei"));
    rows->setCurrentCell(0, 0);
    auto* open = Part<QPushButton>(window, IDC_HISTORY_OPEN);
    ASSERT_TRUE(open->isEnabled());
    open->click();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_NE(opened[0], pdf);
    QFile remade(opened[0]);
    ASSERT_TRUE(remade.open(QIODevice::ReadOnly));
    EXPECT_TRUE(remade.read(5) == "%PDF-");

    Part<QLineEdit>(window, IDC_HISTORY_SEARCH)->setText(QStringLiteral("PT-"));
    EXPECT_EQ(devices->rowCount(), 0);
}

// A database the window cannot use keeps the session in its journal, and
// the status says so.
TEST(HistoryWindow, ASessionThatCannotBeWrittenWaitsAndTheStatusSaysSo) {
    MainWindowHarness::Config config;
    config.database = QStringLiteral("/proc/no/history.sqlite");
    MainWindowHarness h(config);
    h.ChooseVersion();
    h.SetText(IDC_TAG, QStringLiteral("TT-6"));
    ASSERT_TRUE(h.ConnectAndWaitOnline());
    h.Click(IDC_CONNECT);
    EXPECT_TRUE(MainWindowHarness::WaitFor([&] {
        return h.Text(IDC_STATUS) == MainText(historytext::kTxtHistoryWaiting).arg(1);
    })) << h.Text(IDC_STATUS).toStdString();
    EXPECT_EQ(QDir(h.JournalFolder()).entryList({QStringLiteral("*.jsonl")}).size(), 1);
}

}  // namespace
