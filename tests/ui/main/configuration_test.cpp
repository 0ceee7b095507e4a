// The Configuration menu against the simulated transmitter: save, open
// without a device, compare, apply.

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QMenuBar>
#include <QTableWidget>
#include <QTemporaryDir>

#include "protocol/configuration_file.h"
#include "tests/ui/main/corvexa_dlg_test_peer.h"
#include "ui/main/control_ids.h"
#include "window_harness.h"

using mainwnd_test::MainWindowHarness;
using namespace mainwnd;

namespace {

void Trigger(MainWindowHarness& h, int command) {
    h.Dlg().findChild<QMenuBar*>()->findChild<QAction*>(QString::number(command))->trigger();
}

protocol::Configuration Load(const QString& path) {
    protocol::Configuration file;
    EXPECT_EQ(protocol::LoadConfiguration(path.toStdString(), file), "");
    return file;
}

int WritesSent(const MainWindowHarness& h) {
    int writes = 0;
    for (const protocol::Frame& f : h.Frames()) writes += f[1] == 0x06 ? 1 : 0;
    return writes;
}

// The table's Result column by parameter name.
QString Result(QTableWidget& table, const QString& parameter) {
    for (int r = 0; r < table.rowCount(); ++r)
        if (table.item(r, 0)->text() == parameter) return table.item(r, 3)->text();
    return QStringLiteral("(no row)");
}

class ConfigurationMenu : public ::testing::Test {
protected:
    void SetUp() override {
        CCorvexaDlgTestPeer::SetConfigurationPath(h.Dlg(), [this](bool) { return path; });
        h.ChooseVersion();
        ASSERT_TRUE(h.ConnectAndWaitOnline());
    }
    QString File(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTableWidget* Table() {
        return h.Dlg().findChild<QTableWidget*>(QStringLiteral("configuration_table"));
    }

    QTemporaryDir dir;
    QString path;
    MainWindowHarness h;
};

TEST_F(ConfigurationMenu, SavesTheDeviceThenShowsAndEditsTheFileWithoutIt) {
    path = File("unit.json");
    Trigger(h, ID_CONFIG_SAVE);
    ASSERT_TRUE(h.WaitForBox(1));
    EXPECT_EQ(h.Boxes()[0].message, QStringLiteral("Saved to ") + path);
    const protocol::Configuration saved = Load(path);
    for (int i = 0; i < protocol::kRegisterCount; ++i)
        EXPECT_EQ(saved.words[static_cast<std::size_t>(i)], h.Sim().Register(10 + i)) << i;

    h.Click(IDC_CONNECT);
    ASSERT_TRUE(
        MainWindowHarness::WaitFor([&] { return !CCorvexaDlgTestPeer::Connected(h.Dlg()); }));
    Trigger(h, ID_CONFIG_OPEN);
    EXPECT_TRUE(
        h.Text(IDC_STATUS).contains(QStringLiteral("Showing the file unit.json, not a device")));
    EXPECT_EQ(h.Text(IDC_UPPER), QString::number(static_cast<std::int16_t>(*saved.words[7])));
    EXPECT_TRUE(h.Enabled(IDC_UPPER));
    EXPECT_FALSE(h.Enabled(IDC_UPPER_SET));

    // An edited field goes into the file saved again; the others keep
    // the file's exact words.
    h.SetText(IDC_UPPER, QStringLiteral("321"));
    path = File("edited.json");
    Trigger(h, ID_CONFIG_SAVE);
    ASSERT_TRUE(h.WaitForBox(2));
    protocol::Configuration expected = saved;
    expected.words[7] = 321;
    EXPECT_EQ(Load(path).words, expected.words);

    // A refused edit saves nothing.
    h.SetText(IDC_UPPER, QStringLiteral("70000"));
    path = File("refused.json");
    Trigger(h, ID_CONFIG_SAVE);
    ASSERT_TRUE(h.WaitForBox(3));
    EXPECT_EQ(h.Boxes()[2].title, QStringLiteral("Upper Limit"));
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(WritesSent(h), 0);
}

TEST_F(ConfigurationMenu, ComparesThenAppliesOnlyTheDifferencesOrRefusesTheWholeFile) {
    path = File("device.json");
    Trigger(h, ID_CONFIG_SAVE);
    ASSERT_TRUE(h.WaitForBox(1));
    protocol::Configuration file = Load(path);
    const std::uint16_t source = (*file.words[0] + 1) % 3;
    file.words[0] = source;
    file.words[6] = static_cast<std::uint16_t>(*file.words[6] - 5);    // lower limit
    file.words[10] = static_cast<std::uint16_t>(*file.words[10] + 7);  // zero sample

    // One value the device cannot take: nothing at all is sent.
    protocol::Configuration refused = file;
    refused.words[0] = 99;
    path = File("refused.json");
    ASSERT_EQ(protocol::SaveConfiguration(path.toStdString(), refused), "");
    h.Sim().ClearFrames();
    Trigger(h, ID_CONFIG_OPEN);
    Trigger(h, ID_CONFIG_APPLY);
    ASSERT_TRUE(h.WaitForBox(2));
    EXPECT_TRUE(
        h.Boxes()[1].message.startsWith(QStringLiteral("Nothing was sent: Signal Source: code 99")))
        << h.Boxes()[1].message.toStdString();
    EXPECT_EQ(WritesSent(h), 0);

    path = File("wanted.json");
    ASSERT_EQ(protocol::SaveConfiguration(path.toStdString(), file), "");
    Trigger(h, ID_CONFIG_OPEN);
    ASSERT_NE(Table(), nullptr);
    EXPECT_EQ(Result(*Table(), QStringLiteral("Signal Source")), QStringLiteral("differs"));
    EXPECT_EQ(Result(*Table(), QStringLiteral("Lower Limit")), QStringLiteral("differs"));
    EXPECT_EQ(Result(*Table(), QStringLiteral("Upper Limit")), QStringLiteral("same"));

    const std::uint16_t zeroSample = *h.Sim().Register(20);
    Trigger(h, ID_CONFIG_APPLY);
    ASSERT_TRUE(MainWindowHarness::WaitFor(
        [&] { return Table()->window()->windowTitle() == QStringLiteral("Apply to device"); }));
    const struct {
        const char* parameter;
        const char* result;
    } rows[] = {{"Signal Source", "written and read back"},
                {"Lower Limit", "written and read back"},
                {"Upper Limit", "same"},
                {"Zero Sample", "kept: calibration of this unit"}};
    for (const auto& row : rows)
        EXPECT_EQ(Result(*Table(), QString::fromLatin1(row.parameter)),
                  QString::fromLatin1(row.result))
            << row.parameter;
    EXPECT_EQ(h.Sim().Register(10), source);
    EXPECT_EQ(h.Sim().Register(16), *file.words[6]);
    EXPECT_EQ(h.Sim().Register(20), zeroSample);
    EXPECT_EQ(WritesSent(h), 2);
    EXPECT_EQ(CCorvexaDlgTestPeer::Session(h.Dlg()).Writes().size(), 2u);
    EXPECT_EQ(h.Boxes().size(), 2u);  // no box per write: the table says it all
}

}  // namespace
