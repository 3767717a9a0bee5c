// The window's device history against a simulated bench on loopback: a line check run
// from the window and a setting changed from it are recorded, and "History..." on a
// device's row shows that device's records; the dialog's settings are checked and saved
// for the next start.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <string>

#include "fleet_test.h"
#include "fleet_window.h"
#include "history/history_settings.h"
#include "ui/dev_list_commands.h"
#include "ui/dlg_history.h"
#include "ui/dlg_line_check.h"
#include "ui/result_pane.h"
#include "ui/window_history.h"

namespace {

constexpr int kWaitMs = 60000;

class HistoryWindowTest : public CFleetFolderTest {};

}  // namespace

TEST_F(HistoryWindowTest, ALineCheckAndASettingOfTheWindowAreShownInTheDevicesHistory) {
    CFleetWindow bench;
    ASSERT_EQ("", bench.strStart(
                      2, [](std::size_t, devsim::CSimDeviceState&, devsim::CSimBehaviour&) {}));
    bench.window().commands().vRunCommand(EListCmd::kLineCheck);
    CDlgLineCheck* check = bench.window().pLineCheck();
    ASSERT_NE(nullptr, check);
    for (const ECheckStep step : CDlgLineCheck::kSteps) {
        check->pStepBox(step)->setChecked(step == ECheckStep::kLogin || step == ECheckStep::kUid);
    }
    ASSERT_TRUE(check->fgStart());
    ASSERT_TRUE(
        QTest::qWaitFor([check] { return check->pOpenReportButton()->isEnabled(); }, kWaitMs));

    const int row = bench.iRowOf("127.0.0.3");
    ASSERT_GE(row, 0);
    bench.vClickRow(row);
    ASSERT_TRUE(bench.station().devCmd().fgModifyPassword("line-7"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&bench] {
            return bench.window().pResultPane()->strText().contains(
                "127.0.0.3 Modify password success");
        },
        kWaitMs));
    // The device list was searched again after the change: the row is chosen anew.
    ASSERT_TRUE(QTest::qWaitFor([&bench] { return bench.iRowOf("127.0.0.3") >= 0; }, kWaitMs));
    bench.vClickRow(bench.iRowOf("127.0.0.3"));
    bench.window().commands().vRunCommand(EListCmd::kHistory);
    auto* dialog = bench.window().findChild<CDlgHistory*>();
    ASSERT_NE(nullptr, dialog);
    // The recorder writes on its own thread: the dialog asks again until the row is there.
    QTableWidget* table = dialog->pTable();
    ASSERT_TRUE(QTest::qWaitFor(
        [dialog, table] {
            if (!dialog->fgQuerying() && table->rowCount() < 2) {
                dialog->fgQuery();
            }
            return table->rowCount() == 2;
        },
        kWaitMs))
        << dialog->pStatus()->text().toStdString();
    // Newest first.
    const struct {
        int m_iRow;
        const char* m_pszKind;
    } expected[] = {{0, "set-password"}, {1, "check"}};
    for (const auto& want : expected) {
        EXPECT_EQ(QString::fromLatin1(want.m_pszKind), table->item(want.m_iRow, 3)->text());
        EXPECT_EQ(QStringLiteral("pass"), table->item(want.m_iRow, 4)->text());
        EXPECT_EQ(QStringLiteral("127.0.0.3"), table->item(want.m_iRow, 7)->text());
        EXPECT_TRUE(table->item(want.m_iRow, 5)->text().startsWith(QStringLiteral("KSIM")));
    }

    // A database the station does not know is refused; a good one is kept in the file.
    auto* databases = dialog->findChildren<QLineEdit*>().back();
    databases->setText(QStringLiteral("mysql://nowhere"));
    auto* save = dialog->findChild<QPushButton*>();
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
        if (button->text() == QStringLiteral("Save settings")) {
            save = button;
        }
    }
    QTest::mouseClick(save, Qt::LeftButton);
    EXPECT_TRUE(dialog->pStatus()->text().contains(QStringLiteral("mysql://nowhere")));
    const std::string other = m_dir.file("other.sqlite");
    databases->setText(QString::fromStdString("sqlite:" + other));
    QTest::mouseClick(save, Qt::LeftButton);
    EXPECT_EQ(QStringLiteral("Settings saved"), dialog->pStatus()->text());
    const CHistorySettings saved = sLoadHistorySettings(m_dir.file(kHistorySettingsFile));
    EXPECT_EQ(std::vector<std::string>{"sqlite:" + other}, saved.m_dbs);
    EXPECT_EQ(other, windowHistory(bench.window()).config().m_strLocalPath);
}
