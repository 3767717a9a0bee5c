#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "app/settings.h"
#include "dialog_test_support.h"
#include "support/temp_dir.h"
#include "ui/about_dlg.h"
#include "ui/ac_list_wnd.h"
#include "ui/client_dlg.h"
#include "ui/device_list_view.h"
#include "ui/main_controls.h"
#include "ui/ownerdraw_tab_ctrl.h"
#include "ui/pages/dlg_set_uid.h"
#include "ui/pages/dlg_setting.h"
#include "ui/result_pane.h"
#include "ui/window_font.h"
#include "ui_test_env.h"

namespace {

class ClientDlgTest : public ::testing::Test {
  protected:
    void SetUp() override { m_window.vInitDialog(); }

    QString strCaption(int id) const {
        QWidget* control = m_window.pControl(id);
        if (auto* label = qobject_cast<QLabel*>(control)) {
            return label->text();
        }
        if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            return button->text();
        }
        if (auto* group = qobject_cast<QGroupBox*>(control)) {
            return group->title();
        }
        if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            return edit->text();
        }
        if (auto* pane = qobject_cast<CResultPane*>(control)) {
            return pane->strText();
        }
        return {};
    }

    CclientDlg m_window{nullptr, nullptr, std::nullopt};
};

TEST_F(ClientDlgTest, CaptionAndControlsAtStart) {
    EXPECT_EQ("Kestrel 3.0.0.17", m_window.windowTitle());
    struct Row {
        int id;
        const char* className;
        QString caption;
    };
    const Row rows[] = {
        {kIdcGroupLeft, "QGroupBox", ""},
        {kIdcTimeInterval, "QLabel", "Time Interval"},
        {kIdcIntervalEdit, "QLineEdit", "3"},
        {kIdcSecondsLabel, "QLabel", "s"},
        {kIdcAutoRefresh, "QCheckBox", "Auto Refresh"},
        {kIdcRefreshList, "QPushButton", "Refresh List"},
        {kIdcPasswordLabel, "QLabel", "Password:"},
        {kIdcPasswordEdit, "QLineEdit", "kavno"},
        {kIdcUpgrade, "QPushButton", "Upgrade"},
        {kIdcProgress, "QProgressBar", ""},
        {kIdcSelectAll, "QCheckBox", "Select/deselect"},
        {kIdcFilterEdit, "QLineEdit", ""},
        {kIdcFilterButton, "QPushButton", "Filt Device"},
        {kIdcDevList, "CDevListView", ""},
        {kIdcSdCardGroup, "QGroupBox", "SD Card"},
        {kIdcSdCardLabel, "QLabel", ""},
        {kIdcFormat, "QPushButton", "Format"},
        {kIdcDeviceGroup, "QGroupBox", "Device"},
        {kIdcDeviceKind, "QLabel", ""},
        {kIdcWifiList, "CWifiListView", ""},
        {kIdcWifiStatus, "QLabel", "Not connected"},
        {kIdcTab, "COwnerdrawTabCtrl", ""},
        {kIdcPoolGroup, "QGroupBox", "Operating Device Pool"},
        {kIdcClearPool, "QPushButton", "Clear"},
        {kIdcPoolPane, "CResultPane", ""},
        {kIdcResultPane, "CResultPane", "Start server success..."},
    };
    ASSERT_EQ(std::size(rows), kMainControls.size());
    for (const Row& row : rows) {
        QWidget* control = m_window.pControl(row.id);
        ASSERT_NE(nullptr, control) << row.id;
        EXPECT_STREQ(row.className, control->metaObject()->className()) << row.id;
        EXPECT_EQ(row.caption, strCaption(row.id)) << row.id;
        EXPECT_TRUE(control->isVisible()) << row.id;
    }
    for (const int id :
         {kIdcRefreshList, kIdcUpgrade, kIdcFilterButton, kIdcFormat, kIdcClearPool}) {
        auto* button = qobject_cast<QPushButton*>(m_window.pControl(id));
        EXPECT_FALSE(button->autoDefault() || button->isDefault()) << "Enter is the window's";
    }
    auto* progress = qobject_cast<QProgressBar*>(m_window.pControl(kIdcProgress));
    EXPECT_EQ(0, progress->minimum());
    EXPECT_EQ(100, progress->maximum());
}

TEST_F(ClientDlgTest, ControlsArePlacedFromTheTemplate) {
    // Relative placement survives any font: the device list lies below the filter
    // row and left of the tab area; the result pane right of the pool block.
    const QRect list = m_window.pControl(kIdcDevList)->geometry();
    const QRect filter = m_window.pControl(kIdcFilterButton)->geometry();
    const QRect tab = m_window.pControl(kIdcTab)->geometry();
    const QRect pool = m_window.pControl(kIdcPoolGroup)->geometry();
    const QRect result = m_window.pControl(kIdcResultPane)->geometry();
    EXPECT_GT(list.top(), filter.bottom());
    EXPECT_LT(list.right(), tab.left());
    EXPECT_LT(pool.right(), result.left());
    EXPECT_GT(pool.top(), tab.bottom());
    // The window is at least as wide as the template's proportion 708 : 487 (wider
    // where the texts need it) and fits a 1366 x 768 screen with its title bar.
    EXPECT_GE(static_cast<double>(m_window.width()) / m_window.height(), 708.0 / 487.0 - 0.02);
    EXPECT_LE(m_window.width(), 1366);
    EXPECT_LE(m_window.height(), 768 - 40);
}

TEST_F(ClientDlgTest, EightTabsWithTheirPagesAndOnlyOneShown) {
    const char* captions[] = {
        "A/V Test",         "Modify UID",        "Device Info",   "Device Version",
        "Video Parameters", "Sensor management", "Motor Control", "Log"};
    const char* classes[] = {"CDlgVideo",      "CDlgSetUid", "CDlgDevInfo", "CDlgDevVersion",
                             "CDlgVideoParam", "CDlgSensor", "CDlgMotor",   "CDlgLog"};
    COwnerdrawTabCtrl* tabs = m_window.pTabCtrl();
    ASSERT_EQ(kPageCount, tabs->iGetItemCount());
    for (int tab = 0; tab < kPageCount; ++tab) {
        EXPECT_EQ(captions[tab], tabs->strItemText(tab));
        EXPECT_STREQ(classes[tab], m_window.pPage(tab)->metaObject()->className());
        EXPECT_EQ(tabs, m_window.pPage(tab)->parentWidget());
        EXPECT_EQ(tabs->rectPage(), m_window.pPage(tab)->geometry());
        EXPECT_EQ(tab == kTabLiveView, m_window.pPage(tab)->isVisible()) << tab;
    }
    const auto box = psWatchNextBox();
    tabs->vSetCurSel(3);
    EXPECT_EQ("Please choose a device", box->m_strText) << "the page refreshes when shown";
    for (int tab = 0; tab < kPageCount; ++tab) {
        EXPECT_EQ(tab == 3, m_window.pPage(tab)->isVisible()) << tab;
    }
}

TEST_F(ClientDlgTest, MotorTabWithoutSelectedDeviceAsksForOne) {
    QString shown;
    vCloseNextModal([&shown](QWidget& box) {
        if (auto* message = qobject_cast<QMessageBox*>(&box)) {
            shown = message->windowTitle() + "|" + message->text();
        }
    });
    m_window.pTabCtrl()->vSetCurSel(kTabMotor);
    EXPECT_EQ("TIPS|Please choose a device", shown);
    EXPECT_TRUE(m_window.pPage(kTabMotor)->isVisible());
}

TEST_F(ClientDlgTest, EnterAndEscapeNeverCloseTheWindow) {
    bool stillOpen = false;
    QTimer::singleShot(0, &m_window, [this, &stillOpen] {
        QTest::keyClick(&m_window, Qt::Key_Return);
        QTest::keyClick(&m_window, Qt::Key_Enter);
        QTest::keyClick(&m_window, Qt::Key_Escape);
        auto* password = m_window.pControl(kIdcPasswordEdit);
        password->setFocus();
        QTest::keyClick(password, Qt::Key_Return);
        QTest::keyClick(password, Qt::Key_Escape);
        m_window.accept();
        m_window.reject();
        stillOpen = m_window.isVisible();
        m_window.close();
    });
    EXPECT_EQ(QDialog::Rejected, m_window.exec());
    EXPECT_TRUE(stillOpen);
    EXPECT_FALSE(m_window.isVisible()) << "the close box ends it";
}

TEST_F(ClientDlgTest, ResizeScalesEveryControlAndTheFontInWholeSteps) {
    const QSize start = m_window.size();
    const QRect listAtStart = m_window.pControl(kIdcDevList)->geometry();
    const QRect resultAtStart = m_window.pControl(kIdcResultPane)->geometry();

    m_window.resize(start * 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_window.size() == start * 2; }, 2000));
    const CLayoutRect recorded{0, 0, start.width(), start.height()};
    const CLayoutRect doubled{0, 0, start.width() * 2, start.height() * 2};
    for (const QRect& atStart : {listAtStart, resultAtStart}) {
        const CLayoutRect expected =
            sScaleWindowChild(recorded,
                              {atStart.left(), atStart.top(), atStart.left() + atStart.width(),
                               atStart.top() + atStart.height()},
                              doubled);
        const int id = atStart == listAtStart ? kIdcDevList : kIdcResultPane;
        const QRect now = m_window.pControl(id)->geometry();
        EXPECT_EQ(expected.m_iLeft, now.left()) << id;
        EXPECT_EQ(expected.m_iTop, now.top()) << id;
        EXPECT_EQ(expected.iWidth(), now.width()) << id;
        EXPECT_EQ(expected.iHeight(), now.height()) << id;
    }
    EXPECT_EQ(sWindowFont(30), m_window.pControl(kIdcRefreshList)->font());
    EXPECT_EQ(m_window.pTabCtrl()->rectPage(), m_window.pPage(0)->geometry());

    m_window.resize(start.width(), start.height() * 3 / 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_window.height() == start.height() * 3 / 2; }));
    EXPECT_EQ(sWindowFont(15), m_window.pControl(kIdcRefreshList)->font()) << "1.5 keeps 15";

    m_window.resize(start / 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_window.size() == start / 2; }));
    EXPECT_EQ(sWindowFont(0), m_window.pControl(kIdcRefreshList)->font()) << "below 1: default";
    EXPECT_EQ(listAtStart.width() / 2, m_window.pControl(kIdcDevList)->width());
}

TEST_F(ClientDlgTest, RefreshNeedsAnIntervalOfOneToFourSeconds) {
    auto* interval = qobject_cast<QLineEdit*>(m_window.pControl(kIdcIntervalEdit));
    auto* progress = qobject_cast<QProgressBar*>(m_window.pControl(kIdcProgress));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_window.fgTimerActive(EDlgTimer::kProgress); }));
    EXPECT_EQ(100, progress->value()) << "the first search animates the bar to its end";

    for (const char* refused : {"0", "5", "", "s"}) {
        interval->setText(refused);
        QString shown;
        vCloseNextModal(
            [&shown](QWidget& box) { shown = qobject_cast<QMessageBox*>(&box)->text(); });
        m_window.vRefresh();
        EXPECT_EQ("Please input currect seconds", shown) << refused;
        EXPECT_FALSE(m_window.fgTimerActive(EDlgTimer::kProgress)) << refused;
        EXPECT_FALSE(m_window.fgTimerActive(EDlgTimer::kSearchAgain)) << refused;
    }
    interval->setText(" 3s");
    m_window.vRefresh();
    EXPECT_EQ(0, progress->value());
    EXPECT_TRUE(m_window.fgTimerActive(EDlgTimer::kProgress));
    EXPECT_TRUE(m_window.fgTimerActive(EDlgTimer::kSearchAgain));
    EXPECT_TRUE(m_window.fgTimerActive(EDlgTimer::kSort));
}

TEST_F(ClientDlgTest, CalibrationOwnsTheProgressBar) {
    auto* progress = qobject_cast<QProgressBar*>(m_window.pControl(kIdcProgress));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_window.fgTimerActive(EDlgTimer::kProgress); }));
    m_window.vStartCalibration();
    EXPECT_EQ(1, m_window.iCalibrationState());
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_window.iCalibrationState() == 2; }, 3000));
    EXPECT_EQ(1, progress->value()) << "the first tick starts the bar again from 0";
    m_window.vRefresh();
    EXPECT_EQ(1, progress->value()) << "a search does not take the bar from a calibration";
    EXPECT_FALSE(m_window.fgTimerActive(EDlgTimer::kProgress));
    EXPECT_TRUE(m_window.fgTimerActive(EDlgTimer::kCalibration));
}

TEST_F(ClientDlgTest, WifiListAndStatusLine) {
    m_window.vAddWifiRow("Lab-5G", 87, 4);
    m_window.vAddWifiRow("Guest", 40, 0);
    CWifiListView* wifi = m_window.pWifiList();
    ASSERT_EQ(2, wifi->iRowCount());
    const char* expected[2][5] = {{"0", "Lab-5G", "87", "4", ""}, {"1", "Guest", "40", "0", ""}};
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 5; ++column) {
            EXPECT_EQ(expected[row][column], wifi->strCell(row, column));
        }
    }
    auto* status = qobject_cast<QLabel*>(m_window.pControl(kIdcWifiStatus));
    m_window.vSetWifiStatus("Lab-5G");
    EXPECT_EQ("Connected Wifi:  Lab-5G", status->text());
    m_window.vSetWifiStatus("");
    EXPECT_EQ("Not connected", status->text());
    wifi->vClear();
    EXPECT_EQ(0, wifi->iRowCount());
}

TEST_F(ClientDlgTest, HiddenAidsAndAboutBox) {
    QSignalSpy dumped(&m_window, &CclientDlg::sigRegistryDumped);
    QWidget* label = m_window.pControl(kIdcTimeInterval);
    QTest::mouseClick(label, Qt::LeftButton);
    EXPECT_EQ(0, dumped.count()) << "a single click only writes a line";
    QTest::mouseDClick(label, Qt::LeftButton);
    EXPECT_EQ(1, dumped.count());

    QString aboutText;
    vCloseNextModal([&aboutText](QWidget& box) {
        for (const QLabel* text : box.findChildren<QLabel*>()) {
            aboutText += text->text();
        }
    });
    m_window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m_window));
    QTest::keyClick(&m_window, Qt::Key_F1);
    EXPECT_EQ("Kestrel 3.0.0.17", aboutText);
    EXPECT_TRUE(m_window.isVisible());
}

TEST(ClientDlgPassword, ClickingElsewhereSavesAChangedPasswordOnce) {
    const CTempDir dir;
    dir.write(CDevPwdSaveInfo::kFileName, "one\ntwo\n");
    CSettings& settings = CSettings::instance();
    const std::string savedWritableDir = settings.m_strWritableDir;
    settings.m_strWritableDir = dir.path().string() + "/";
    {
        CclientDlg window(nullptr, nullptr, std::nullopt);
        window.vInitDialog();
        EXPECT_EQ((QStringList{"one", "two"}), window.acPasswordEdit().pListWnd()->listItems());
        auto* password = qobject_cast<QLineEdit*>(window.pControl(kIdcPasswordEdit));
        QWidget* elsewhere = window.pControl(kIdcTimeInterval);

        password->setText("secret");
        QTest::mouseClick(password, Qt::LeftButton);
        EXPECT_EQ(2, window.pwdStore().iCount()) << "a click in the box itself saves nothing";
        QTest::mouseClick(elsewhere, Qt::LeftButton);
        EXPECT_EQ((std::vector<std::string>{"one", "two", "secret"}),
                  window.pwdStore().vecEntries());
        EXPECT_EQ((QStringList{"one", "two", "secret"}),
                  window.acPasswordEdit().pListWnd()->listItems());

        QTest::mouseClick(window.pControl(kIdcResultPane), Qt::LeftButton);
        password->setText("two");
        QTest::mouseClick(elsewhere, Qt::LeftButton);
        EXPECT_EQ(3, window.pwdStore().iCount()) << "a known password is not stored again";
        EXPECT_EQ(3, window.acPasswordEdit().pListWnd()->listItems().size());
    }
    const CDevPwdSaveInfo reread(dir.path());
    EXPECT_EQ((std::vector<std::string>{"one", "two", "secret"}), reread.vecEntries());
    settings.m_strWritableDir = savedWritableDir;
}

TEST(ClientDlgPages, TheUidPageAndTheHiddenRestartPageSendToTheSelectedDevice) {
    CDialogTestStation core;
    const CclientDlg window(nullptr, &core.m_station, std::nullopt);
    auto* uidPage = qobject_cast<CDlgSetUid*>(window.pPage(1));
    ASSERT_NE(nullptr, uidPage);
    QTest::keyClicks(uidPage->pUidEdit(), "ABCD1234567890EFGHIJ");
    std::vector<CSentDatagram> sent = core.vecSent();
    ASSERT_EQ(1U, sent.size());
    EXPECT_EQ(CDialogTestStation::kDeviceIp, sent[0].strTarget());
    EXPECT_EQ(37U, sent[0].m_bytes.size());

    CDlgSetting* setting = window.pSettingPage();
    ASSERT_NE(nullptr, setting);
    EXPECT_TRUE(setting->isHidden()) << "no tab shows it";
    setting->pRestartButton()->click();
    sent = core.vecSent();
    ASSERT_EQ(2U, sent.size());
    EXPECT_EQ(CDialogTestStation::kDeviceIp, sent[1].strTarget());
    EXPECT_EQ((std::vector<std::uint8_t>{0xA8, 0x11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
              sent[1].m_bytes);
}

TEST(ClientDlgUnits, IntervalIsReadAsALeadingDecimalNumber) {
    struct Row {
        const char* text;
        int seconds;
    };
    for (const Row& row : {Row{"3", 3}, Row{" 3", 3}, Row{"3s", 3}, Row{"", 0}, Row{"s", 0},
                           Row{"12", 12}, Row{"0000000004", 0}, Row{"000000004", 4}}) {
        EXPECT_EQ(row.seconds, iParseInterval(row.text)) << row.text;
    }
}

// The tab row as the operator sees it: the chosen tab grey with white text, the others
// in the button colour.
TEST(ClientDlgTabs, TheChosenTabIsPaintedGrey) {
    COwnerdrawTabCtrl tabs(nullptr);
    for (const char* text : {"A/V Test", "Modify UID", "Device Info"}) {
        tabs.iInsertItem(QString::fromLatin1(text));
    }
    tabs.resize(400, 120);
    tabs.vSetCurSel(1);
    const QImage shot = tabs.pTabBar()->grab().toImage();
    const auto pixelInside = [&tabs, &shot](int tab) {
        const QRect rect = tabs.pTabBar()->tabRect(tab);
        return shot.pixelColor(rect.left() + 3, rect.top() + 3);
    };
    EXPECT_EQ(QColor(125, 125, 125), pixelInside(1));
    const QColor button = tabs.pTabBar()->palette().color(QPalette::Active, QPalette::Button);
    EXPECT_EQ(button, pixelInside(0));
    EXPECT_EQ(button, pixelInside(2));
}

}  // namespace
