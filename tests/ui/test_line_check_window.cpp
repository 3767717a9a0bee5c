// The window's line check against a simulated bench on loopback: started from its
// dialog, every device's row takes the colour of its outcome and the failed one names
// its step; the result pane has the summary and the comparison with the expected bench;
// the report is written; a search compares the list with an expected CSV list and marks
// the device it does not name; closing the dialog stops a check.

#include <gtest/gtest.h>

#include <QBrush>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/settings.h"
#include "devsim/sim_bench_faults.h"
#include "fleet_test.h"
#include "fleet_window.h"
#include "support/temp_dir.h"
#include "ui/dev_list_commands.h"
#include "ui/device_list_view.h"
#include "ui/dlg_line_check.h"
#include "ui/result_pane.h"
#include "ui/ui_test_env.h"

namespace {

constexpr int kCheckWaitMs = 60000;
constexpr const char* kNoSdDevice = "127.0.0.3";

class LineCheckWindowTest : public CFleetFolderTest {
  protected:
};

QColor sRowColour(CFleetWindow& bench, const std::string& ip) {
    const QModelIndex cell = bench.model().index(bench.iRowOf(ip), CDevListModel::kColUid);
    return cell.data(Qt::BackgroundRole).value<QBrush>().color();
}

QString strRowTip(CFleetWindow& bench, const std::string& ip) {
    const QModelIndex cell = bench.model().index(bench.iRowOf(ip), CDevListModel::kColIp);
    return cell.data(Qt::ToolTipRole).toString();
}

std::string strUid(CFleetWindow& bench, const std::string& ip) {
    const QModelIndex cell = bench.model().index(bench.iRowOf(ip), CDevListModel::kColUid);
    return cell.data().toString().toStdString();
}

}  // namespace

TEST_F(LineCheckWindowTest, RowsShowTheOutcomesThePaneTheSummaryAndASearchTheBench) {
    CFleetWindow bench;
    ASSERT_EQ("", bench.strStart(3, [](std::size_t index, devsim::CSimDeviceState& state,
                                       devsim::CSimBehaviour& behaviour) {
        std::string error;
        if (index == 1) {
            devsim::iApplyBenchFault("no-sd", "", state, behaviour, error);
        }
    }));
    bench.window().commands().vRunCommand(EListCmd::kLineCheck);
    CDlgLineCheck* dialog = bench.window().pLineCheck();
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(dialog->isVisible());
    EXPECT_EQ(QString::fromStdString((m_dir.path() / "checks").string()),
              dialog->pReportEdit()->text());
    EXPECT_EQ(8, dialog->pParallelBox()->value());
    // One more device expected than the bench has.
    dialog->pExpectEdit()->setText(QStringLiteral("4"));
    for (const ECheckStep step : CDlgLineCheck::kSteps) {
        dialog->pStepBox(step)->setChecked(step == ECheckStep::kLogin || step == ECheckStep::kUid ||
                                           step == ECheckStep::kSd || step == ECheckStep::kWifi);
    }
    const int wifiRows = bench.window().pWifiList()->iRowCount();
    QTest::mouseClick(dialog->pStartButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([dialog] { return dialog->pOpenReportButton()->isEnabled(); },
                                kCheckWaitMs))
        << dialog->pStatus()->text().toStdString();
    EXPECT_FALSE(dialog->fgRunning());
    EXPECT_EQ(3, dialog->pProgress()->value());
    // Every device logged in to the check and listed its Wi-Fi networks there; the
    // window's own Wi-Fi list heard none of it.
    QCoreApplication::processEvents();
    EXPECT_EQ(wifiRows, bench.window().pWifiList()->iRowCount());

    // The marks stay with their devices when the list is shown again.
    bench.window().vOnRowsReset();
    for (const char* ip : {"127.0.0.2", "127.0.0.3", "127.0.0.4"}) {
        const QColor colour = sRowColour(bench, ip);
        const bool failed = std::string(ip) == kNoSdDevice;
        EXPECT_EQ(failed, colour.red() > colour.green()) << ip;
        EXPECT_EQ(failed ? ECheckMark::kFailed : ECheckMark::kPassed,
                  bench.model().sMark(ip).m_eCheck)
            << ip;
        EXPECT_EQ(failed, strRowTip(bench, ip).startsWith(QStringLiteral("sd: "))) << ip;
    }
    const QString folder = dialog->strReportFolder();
    EXPECT_TRUE(folder.startsWith(QString::fromStdString((m_dir.path() / "checks").string())));
    EXPECT_TRUE(std::filesystem::is_regular_file(folder.toStdString() + "/report.html"));
    const QString pane = bench.window().pResultPane()->strText();
    const QStringList lines = pane.split(QLatin1Char('\n'));
    EXPECT_TRUE(
        lines.contains(QStringLiteral("Line check: 2 passed, 1 failed — report: ") + folder))
        << pane.toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("found 3 of 4"))) << pane.toStdString();

    // A list that names two of the devices and one that is not there: the next search
    // lists the missing one and marks the device it does not name.
    const std::string list = (m_dir.path() / "bench.csv").string();
    std::ofstream(list) << "uid\n"
                        << strUid(bench, "127.0.0.2") << "\n"
                        << strUid(bench, "127.0.0.3") << "\nABSENTABSENTABSENT00\n";
    dialog->pExpectEdit()->setText(QString::fromStdString(list));
    bench.window().vRefresh();
    ASSERT_TRUE(QTest::qWaitFor(
        [&bench] {
            return bench.window()
                .pResultPane()
                ->strText()
                .split(QLatin1Char('\n'))
                .contains(QStringLiteral("missing: ABSENTABSENTABSENT00"));
        },
        kCheckWaitMs));
    EXPECT_TRUE(bench.model().sMark("127.0.0.4").m_fgUnexpected);
    EXPECT_EQ(QStringLiteral("not expected on this bench"), strRowTip(bench, "127.0.0.4"));
    EXPECT_FALSE(bench.model().sMark("127.0.0.2").m_fgUnexpected);

    // Closing the dialog stops a running check and waits for it; it still reports.
    dialog->pStepBox(ECheckStep::kVideo)->setChecked(true);
    ASSERT_TRUE(dialog->fgStart());
    dialog->close();
    EXPECT_FALSE(dialog->fgRunning());
    EXPECT_TRUE(QTest::qWaitFor(
        [&bench] {
            return bench.window().pResultPane()->strText().count(
                       QStringLiteral("\nLine check: ")) == 2;
        },
        kCheckWaitMs));
}
