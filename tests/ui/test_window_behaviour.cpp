// The window as an operator meets it in front of the bench: the sensor the list
// highlights is the sensor the buttons address, Enter acts on the page in view, a tab
// switch puts the focus on the page's first field, and every action leaves feedback.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "fleet_test.h"
#include "fleet_window.h"
#include "ui/device_list_view.h"
#include "ui/dialog_text.h"
#include "ui/main_controls.h"
#include "ui/ownerdraw_tab_ctrl.h"
#include "ui/pages/dlg_dev_version.h"
#include "ui/pages/dlg_motor.h"
#include "ui/pages/dlg_sensor.h"
#include "ui/pages/dlg_video.h"
#include "ui/pages/dlg_video_param.h"
#include "ui/result_pane.h"
#include "ui_test_env.h"

namespace {

constexpr int kTabSensor = 5;
constexpr int kTabVideoParam = 4;
constexpr int kTabMotorPage = 6;

class WindowBehaviourTest : public CFleetFolderTest {
  protected:
    bool fgPaneShows(const QString& text) {
        return QTest::qWaitFor(
            [this, &text] { return m_bench.window().pResultPane()->strText().contains(text); },
            CFleetWindow::kWaitMs);
    }

    CFleetWindow m_bench;
};

// After a click on one row and two presses of Down, Start Test tests the row the list
// highlights; a right click moves both too; without a highlighted row the result text
// says why and nothing is tested.
TEST_F(WindowBehaviourTest, SensorButtonsAddressTheHighlightedRow) {
    // Device 4 (127.0.0.6) is a gateway with sensors.
    ASSERT_TRUE(m_bench.strStart(5).empty());
    auto* page = qobject_cast<CDlgSensor*>(m_bench.window().pPage(kTabSensor));
    ASSERT_TRUE(m_bench.fgSelectAndLogIn("127.0.0.6"));
    m_bench.window().pTabCtrl()->vSetCurSel(kTabSensor);
    QTableWidget* list = page->pList();
    ASSERT_TRUE(QTest::qWaitFor([list] { return list->rowCount() == 7; }, CFleetWindow::kWaitMs));
    const auto cellCentre = [list](int row) {
        return list->visualRect(list->model()->index(row, 0)).center();
    };

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cellCentre(0));
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    ASSERT_TRUE(list->selectionModel()->isRowSelected(2, QModelIndex()));
    EXPECT_EQ(2, page->iSelectedRow());
    const QString highlighted = list->item(2, 0)->text();
    QTest::mouseClick(page->pButton(ESensorButton::kStartTest), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [page, &highlighted] {
            return page->pResultText()->toPlainText().startsWith(highlighted + "  Test Result");
        },
        CFleetWindow::kWaitMs))
        << page->pResultText()->toPlainText().toStdString();

    // A right click (its menu left unchosen) moves the highlight and the address, once
    // the page's delayed refresh after the row click has rebuilt the list.
    ASSERT_TRUE(QTest::qWaitFor(
        [this, list] {
            return !m_bench.window().fgTimerActive(EDlgTimer::kTabRefresh) && list->rowCount() == 7;
        },
        CFleetWindow::kWaitMs));
    vPickFromNextMenu({});
    emit list->customContextMenuRequested(cellCentre(1));
    EXPECT_EQ(1, page->iSelectedRow());
    // The page's delayed refresh may be rebuilding the list: the row comes back selected.
    EXPECT_TRUE(QTest::qWaitFor(
        [list] {
            return list->rowCount() == 7 && list->selectionModel()->isRowSelected(1, QModelIndex());
        },
        CFleetWindow::kWaitMs));

    ASSERT_TRUE(
        QTest::qWaitFor([page] { return page->pButton(ESensorButton::kStartTest)->isEnabled(); },
                        CFleetWindow::kWaitMs));
    list->clearSelection();
    QTest::mouseClick(page->pButton(ESensorButton::kStartTest), Qt::LeftButton);
    EXPECT_EQ("Please choose a sensor in the list", page->pResultText()->toPlainText());
    EXPECT_TRUE(page->pButton(ESensorButton::kStartTest)->isEnabled()) << "nothing was sent";
}

// Enter on the live view's tab plays and Escape stops; Enter in a field of another
// page never starts the hidden live video, it applies that page.
TEST_F(WindowBehaviourTest, EnterStartsVideoOnlyWhileTheLiveViewShows) {
    ASSERT_TRUE(m_bench.strStart(1).empty());
    ASSERT_TRUE(m_bench.fgSelectAndLogIn("127.0.0.2"));
    auto* live = qobject_cast<CDlgVideo*>(m_bench.window().pPage(kTabLiveView));
    auto* params = qobject_cast<CDlgVideoParam*>(m_bench.window().pPage(kTabVideoParam));
    auto* motor = qobject_cast<CDlgMotor*>(m_bench.window().pPage(kTabMotorPage));

    QTest::keyClick(&m_bench.window(), Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([live] { return live->fgPlaying(); }, CFleetWindow::kWaitMs));
    QTest::keyClick(&m_bench.window(), Qt::Key_Escape);
    EXPECT_FALSE(live->fgPlaying());

    // The device's settings are shown first: applying half-empty fields would be refused
    // and the refusal searches the list again, leaving no device chosen.
    m_bench.window().pTabCtrl()->vSetCurSel(kTabVideoParam);
    QLineEdit* frameRate = params->mainStream().m_pFrameRate;
    ASSERT_TRUE(QTest::qWaitFor([frameRate] { return !frameRate->text().isEmpty(); },
                                CFleetWindow::kWaitMs));
    frameRate->setFocus();
    frameRate->setText(QStringLiteral("25"));
    QTest::keyClick(frameRate, Qt::Key_Return);
    QTest::keyClick(frameRate, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return m_bench.fleet().sDeviceState(0).m_mainStream.m_ucFrameRate == 25; },
        CFleetWindow::kWaitMs));

    // Enter in a motor timer applies the timers, which the device takes.
    m_bench.window().pTabCtrl()->vSetCurSel(kTabMotorPage);
    motor->pTimerEditH()->setFocus();
    motor->pTimerEditH()->setText(QStringLiteral("7"));
    motor->pTimerEditV()->setText(QStringLiteral("9"));
    QTest::keyClick(motor->pTimerEditH(), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor(
        [this] {
            const auto state = m_bench.fleet().sDeviceState(0);
            return state.m_ucMotorTimerH == 7 && state.m_ucMotorTimerV == 9;
        },
        CFleetWindow::kWaitMs));
    EXPECT_FALSE(live->fgPlaying());
    EXPECT_FALSE(live->fgFullScreen());
}

// A tab switch puts the focus on the page's first field; the interval box takes only
// one digit from 1 to 4.
TEST_F(WindowBehaviourTest, TabSwitchFocusesThePageAndTheIntervalTakesOneDigit) {
    ASSERT_TRUE(m_bench.strStart(1).empty());
    ASSERT_TRUE(m_bench.fgSelectAndLogIn("127.0.0.2"));
    CclientDlg& window = m_bench.window();
    QApplication::setActiveWindow(&window);
    for (int tab = 1; tab < kPageCount; ++tab) {
        auto* interval = qobject_cast<QLineEdit*>(window.pControl(kIdcIntervalEdit));
        interval->setFocus();
        window.pTabCtrl()->vSetCurSel(tab);
        const QWidget* focus = QApplication::focusWidget();
        EXPECT_TRUE(focus != nullptr && window.pPage(tab)->isAncestorOf(focus))
            << "tab " << tab << ": focus on "
            << (focus != nullptr ? focus->metaObject()->className() : "nothing");
    }
    window.pTabCtrl()->vSetCurSel(1);
    EXPECT_NE(nullptr, qobject_cast<QLineEdit*>(QApplication::focusWidget()))
        << "Modify UID: the UID field takes a scan";

    auto* interval = qobject_cast<QLineEdit*>(window.pControl(kIdcIntervalEdit));
    struct Row {
        const char* typed;
        const char* kept;
    };
    // Typed into the empty box: what stays.
    for (const Row& row : {Row{"KSIM0001", "1"}, Row{"0", ""}, Row{"5", ""}, Row{"2", "2"},
                           Row{"42", "4"}, Row{" 3s", "3"}}) {
        interval->clear();
        QTest::keyClicks(interval, QString::fromLatin1(row.typed));
        EXPECT_EQ(QString::fromLatin1(row.kept), interval->text()) << row.typed;
    }
}

// Each motor button that sends leaves a result line naming the device, the timers'
// Apply (which the device does not answer) too.
TEST_F(WindowBehaviourTest, EveryMotorButtonLeavesAResultLine) {
    ASSERT_TRUE(m_bench.strStart(1).empty());
    ASSERT_TRUE(m_bench.fgSelectAndLogIn("127.0.0.2"));
    auto* motor = qobject_cast<CDlgMotor*>(m_bench.window().pPage(kTabMotorPage));
    CResultPane& pane = *m_bench.window().pResultPane();
    for (int button = 0; button < kMotorButtonCount; ++button) {
        const int before = static_cast<int>(pane.strText().count('\n'));
        motor->pButton(static_cast<EMotorButton>(button))->click();
        EXPECT_TRUE(QTest::qWaitFor(
            [&pane, before] {
                return pane.strText().count('\n') > before &&
                       pane.strText().section('\n', -1).startsWith("127.0.0.2 ");
            },
            CFleetWindow::kWaitMs))
            << "button " << button << "; pane: " << pane.strText().toStdString();
    }
}

// A device that does not answer leaves the pages empty, not showing the device before;
// Refresh List empties the Wi-Fi list.
TEST_F(WindowBehaviourTest, ANewDeviceWithoutAnswerLeavesNoOldValuesAndRefreshEmptiesWifi) {
    ASSERT_TRUE(m_bench.strStart(2).empty());
    auto* motor = qobject_cast<CDlgMotor*>(m_bench.window().pPage(kTabMotorPage));
    auto* version = qobject_cast<CDlgDevVersion*>(m_bench.window().pPage(3));
    m_bench.fleet().vUpdateDevice(0, [](devsim::CSimDeviceState& state, devsim::CSimBehaviour&) {
        state.m_ucMotorTimerH = 11;
    });
    ASSERT_TRUE(m_bench.fgSelectAndLogIn("127.0.0.2"));
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return m_bench.window().pWifiList()->model()->rowCount() > 0; },
                        CFleetWindow::kWaitMs));
    m_bench.window().pTabCtrl()->vSetCurSel(3);
    ASSERT_TRUE(
        QTest::qWaitFor([version] { return !version->pConfigText()->toPlainText().isEmpty(); },
                        CFleetWindow::kWaitMs));
    m_bench.window().pTabCtrl()->vSetCurSel(kTabMotorPage);
    ASSERT_TRUE(QTest::qWaitFor([motor] { return motor->pTimerEditH()->text() == "11"; },
                                CFleetWindow::kWaitMs));

    m_bench.fleet().vUpdateDevice(1,
                                  [](devsim::CSimDeviceState&, devsim::CSimBehaviour& behaviour) {
                                      behaviour.m_fgSilent = true;
                                  });
    vCloseNextModal();  // whatever the failed login check says
    m_bench.vClickRow(m_bench.iRowOf("127.0.0.3"));
    EXPECT_TRUE(motor->pTimerEditH()->text().isEmpty());
    EXPECT_EQ(strTrKey("Unknown"), motor->pPosLabelH()->text());
    EXPECT_TRUE(version->pConfigText()->toPlainText().isEmpty());

    qobject_cast<QPushButton*>(m_bench.window().pControl(kIdcRefreshList))->click();
    EXPECT_EQ(0, m_bench.window().pWifiList()->model()->rowCount());
}

}  // namespace
