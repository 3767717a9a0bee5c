// The camera and device pages: the bytes each button sends, and each page against a
// simulated device on loopback (the window, the transport and the replies as they run).

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <cstdint>
#include <string>
#include <vector>

#include "dialog_test_support.h"
#include "fleet_test.h"
#include "fleet_window.h"
#include "protocol/cmd_header.h"
#include "ui/ownerdraw_tab_ctrl.h"
#include "ui/pages/dlg_dev_info.h"
#include "ui/pages/dlg_dev_version.h"
#include "ui/pages/dlg_motor.h"
#include "ui/pages/dlg_sensor.h"
#include "ui/pages/dlg_video_param.h"
#include "ui/result_pane.h"
#include "ui_test_env.h"

namespace {

// A request as the page must send it: the header with start byte and code, every other
// header byte 0, then the payload.
std::vector<std::uint8_t> bufExpected(std::uint8_t code, std::vector<std::uint8_t> payload = {}) {
    std::vector<std::uint8_t> bytes(16 + payload.size(), 0);
    bytes[0] = kCmdStartByte;
    bytes[1] = code;
    // Byte by byte: GCC 12 at -O2 takes an insert of an empty payload for an overflow.
    for (std::size_t i = 0; i < payload.size(); ++i) {
        bytes[16 + i] = payload[i];
    }
    return bytes;
}

TEST(DlgMotorPage, EachButtonSendsItsRequestWithTheEditsCutToTheirFields) {
    CDialogTestStation core;
    CDlgMotor page(nullptr, &core.m_station);
    // Timers: the first 3 characters, low 8 bits (300 is 44; "1234" reads 123).
    page.pTimerEditH()->setText("300");
    page.pTimerEditV()->setText("1234");
    // Steps: digits up to the first other character, low 16 bits.
    page.pStepEditH()->setText(" 12abc");
    page.pStepEditV()->setText("70000");

    struct CRow {
        EMotorButton m_eButton;
        std::vector<std::uint8_t> m_expected;
    };
    const std::vector<CRow> rows = {
        {EMotorButton::kTimerRefresh, bufExpected(38)},
        {EMotorButton::kTimerApply, bufExpected(39, {44, 123})},
        {EMotorButton::kPosRefresh, bufExpected(40)},
        {EMotorButton::kZero, bufExpected(41)},
        {EMotorButton::kRight, bufExpected(42, {1, 0, 12, 0})},
        {EMotorButton::kLeft, bufExpected(43, {0, 0, 12, 0})},
        {EMotorButton::kStopH, bufExpected(44)},
        {EMotorButton::kUp, bufExpected(45, {2, 0, 0x70, 0x11})},
        {EMotorButton::kDown, bufExpected(45, {3, 0, 0x70, 0x11})},
        {EMotorButton::kStopV, bufExpected(47)},
    };
    for (const CRow& row : rows) {
        const std::size_t before = core.vecSent().size();
        QTest::mouseClick(page.pButton(row.m_eButton), Qt::LeftButton);
        const std::vector<CSentDatagram> sent = core.vecSent();
        ASSERT_EQ(before + 1, sent.size()) << static_cast<int>(row.m_eButton);
        EXPECT_EQ(row.m_expected, sent.back().m_bytes) << static_cast<int>(row.m_eButton);
        EXPECT_EQ(CDialogTestStation::kDeviceIp, sent.back().strTarget());
    }

    // Empty and negative edits: no digits send 0, "-1" keeps its low bits.
    page.pStepEditH()->clear();
    page.pTimerEditH()->setText("-1");
    page.pTimerEditV()->setText("x9");
    ASSERT_TRUE(page.fgPress(EMotorButton::kLeft));
    ASSERT_TRUE(page.fgPress(EMotorButton::kTimerApply));
    const std::vector<CSentDatagram> sent = core.vecSent();
    EXPECT_EQ(bufExpected(43, {0, 0, 0, 0}), sent[sent.size() - 2].m_bytes);
    EXPECT_EQ(bufExpected(39, {0xFF, 0}), sent.back().m_bytes);

    core.vUnselect();
    const auto box = psWatchNextBox();
    EXPECT_FALSE(page.fgPress(EMotorButton::kZero));
    EXPECT_EQ("Please choose a device", box->m_strText);
    EXPECT_EQ(sent.size(), core.vecSent().size());
}

TEST(DlgVideoParamPage, ApplySendsTheControlsCutToTheirFieldsAndAReplyFillsThem) {
    CDialogTestStation core;
    CDlgVideoParam page(nullptr, &core.m_station);
    // Before any refresh: no entry chosen, empty edits.
    ASSERT_TRUE(page.fgApply());
    const std::vector<std::uint8_t> nothing = {0xFF, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    std::vector<std::uint8_t> payload = nothing;
    payload.insert(payload.end(), nothing.begin(), nothing.end());
    EXPECT_EQ(bufExpected(32, payload), core.vecSent().back().m_bytes);

    const CStreamControls& mainStream = page.mainStream();
    const CStreamControls& subStream = page.subStream();
    mainStream.m_pResolution->setCurrentIndex(3);  // 1080P
    mainStream.m_pFrameRate->setText("300");
    mainStream.m_pBitRate->setText("70000");
    mainStream.m_pStandard->setCurrentIndex(1);
    subStream.m_pResolution->setCurrentIndex(1);  // CIF
    subStream.m_pFrameRate->setText(" 15fps");
    subStream.m_pBitRate->setText("-1");
    QTest::mouseClick(page.pApplyButton(), Qt::LeftButton);
    EXPECT_EQ(bufExpected(
                  32, {18, 44, 0x70, 0x11, 1, 0, 0, 0, 1, 15, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}),
              core.vecSent().back().m_bytes);
    QTest::mouseClick(page.pRefreshButton(), Qt::LeftButton);
    EXPECT_EQ(bufExpected(31), core.vecSent().back().m_bytes);

    // Main resolution code 5 has no entry: the box keeps 1080P, the rest is filled. The
    // sub stream's standard 7 has none either: its box is cleared.
    page.vFillVideoParams({5U | (25U << 8) | (2048U << 16), 2, 6U | (10U << 8) | (512U << 16), 7});
    ASSERT_TRUE(QTest::qWaitFor([&] { return mainStream.m_pFrameRate->text() == "25"; }));
    EXPECT_EQ("1080P", mainStream.m_pResolution->currentText());
    EXPECT_EQ("2048", mainStream.m_pBitRate->text());
    EXPECT_EQ("AUTO", mainStream.m_pStandard->currentText());
    EXPECT_EQ("QVGA", subStream.m_pResolution->currentText());
    EXPECT_EQ("10", subStream.m_pFrameRate->text());
    EXPECT_EQ("512", subStream.m_pBitRate->text());
    EXPECT_EQ(-1, subStream.m_pStandard->currentIndex());
}

TEST(DlgDevInfoPage, TypeNameComesFromTheFlagsWord) {
    struct CRow {
        std::uint32_t m_uiFlags;
        const char* m_pszType;
        bool m_fgFullView;
    };
    const CRow rows[] = {
        {0x00000003U, "Gateway", false},  // bit 31 clear: whatever the low byte
        {0x20000000U, "Gateway", true},
        {0x80000000U, "New head shaking camera", false},
        {0x80000001U, "Old head shaking camera", false},
        {0xA0000002U, "Old compact", true},
        {0x80000003U, "GOKE head shaking camera", false},
        {0x80000004U, "", false},
        {0x80000080U, "", false},  // negative as a signed byte
    };
    CDlgDevInfo page(nullptr);
    for (const CRow& row : rows) {
        CDevInfo devInfo = sMakeDev("192.168.1.30", "UID00000000000000001");
        devInfo.m_uiDevFlags = row.m_uiFlags;
        page.vFill(devInfo);
        EXPECT_EQ(row.m_pszType, page.pTypeEdit()->text().toStdString()) << row.m_uiFlags;
        EXPECT_EQ(row.m_fgFullView, page.pFullViewBox()->isChecked()) << row.m_uiFlags;
    }
}

TEST(DlgDevInfoPage, ApplySendsTheBlockAsItStandsInTheEdits) {
    CDialogTestStation core;
    CDlgDevInfo page(nullptr, &core.m_station);
    CDevInfo devInfo = sMakeDev(CDialogTestStation::kDeviceIp, "UID00000000000000001");
    devInfo.m_strWifiDns = "192.168.77.1";
    devInfo.m_iWifiDhcp = 1;
    page.vFill(devInfo);
    // A 16-character address fills its field; the next field follows without a NUL.
    page.wired().m_pIp->setText("192.168.100.2001");
    page.wired().m_pMask->setText("255.255.255.0");
    page.wired().m_pGateway->clear();
    page.wired().m_pDns->setText("not an address");
    page.wired().m_pDhcp->setChecked(true);
    QTest::mouseClick(page.wired().m_pApply, Qt::LeftButton);
    CSentDatagram sent = core.vecSent().back();
    ASSERT_EQ(96U, sent.m_bytes.size());
    EXPECT_EQ(bufExpected(16),
              std::vector<std::uint8_t>(sent.m_bytes.begin(), sent.m_bytes.begin() + 16));
    EXPECT_EQ("192.168.100.2001", strBytes(sent, 16, 16));
    EXPECT_EQ("255.255.255.0", strField(sent, 32, 16));
    EXPECT_EQ("", strField(sent, 48, 16));
    EXPECT_EQ("not an address", strField(sent, 64, 16));
    EXPECT_EQ(std::vector<std::uint8_t>({1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
              std::vector<std::uint8_t>(sent.m_bytes.begin() + 80, sent.m_bytes.end()));

    // The Wi-Fi block sends the DNS it only shows.
    QTest::mouseClick(page.wifi().m_pApply, Qt::LeftButton);
    sent = core.vecSent().back();
    ASSERT_EQ(96U, sent.m_bytes.size());
    EXPECT_EQ(kCmdSetWifiNet, sent.m_bytes[1]);
    EXPECT_EQ("192.168.77.1", strField(sent, 64, 16));
    EXPECT_EQ(1, sent.m_bytes[80]);

    core.vUnselect();
    const std::size_t count = core.vecSent().size();
    const auto box = psWatchNextBox();
    EXPECT_FALSE(page.fgApply(ENetBlock::kWifi));
    EXPECT_EQ("Please choose a device", box->m_strText);
    EXPECT_EQ(count, core.vecSent().size());
}

class DevicePagesOnBench : public CFleetFolderTest {};

TEST_F(DevicePagesOnBench, MotorTabFillsFromTheDeviceAndItsButtonsDriveTheMotors) {
    CFleetWindow bench;
    const std::string error =
        bench.strStart(2, [](std::size_t, devsim::CSimDeviceState& state, devsim::CSimBehaviour&) {
            state.m_ucMotorTimerH = 7;
            state.m_ucMotorTimerV = 9;
            state.m_usMotorPosH = 100;
            state.m_usMotorPosV = 200;
        });
    ASSERT_TRUE(error.empty()) << error;
    auto* page = qobject_cast<CDlgMotor*>(bench.window().pPage(kTabMotor));
    ASSERT_NE(nullptr, page);
    EXPECT_EQ("Unknown", page->pPosLabelH()->text());
    ASSERT_TRUE(bench.fgSelectAndLogIn("127.0.0.3"));

    // Switching to the tab reads the positions and the timers.
    bench.window().pTabCtrl()->vSetCurSel(kTabMotor);
    ASSERT_TRUE(QTest::qWaitFor(
        [page] {
            return page->pPosLabelH()->text() == "100" && page->pPosLabelV()->text() == "200" &&
                   page->pTimerEditH()->text() == "7" && page->pTimerEditV()->text() == "9";
        },
        CFleetWindow::kWaitMs));

    // A move right by 50 steps, then the positions read again.
    page->pStepEditH()->setText("50");
    QTest::mouseClick(page->pButton(EMotorButton::kRight), Qt::LeftButton);
    ASSERT_TRUE(
        QTest::qWaitFor([&bench] { return bench.fleet().sDeviceState(1).m_usMotorPosH == 150; },
                        CFleetWindow::kWaitMs));
    QTest::mouseClick(page->pButton(EMotorButton::kPosRefresh), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([page] { return page->pPosLabelH()->text() == "150"; },
                                CFleetWindow::kWaitMs));

    // New timers reach the device with their low 8 bits.
    page->pTimerEditH()->setText("300");
    page->pTimerEditV()->setText("12");
    QTest::mouseClick(page->pButton(EMotorButton::kTimerApply), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [&bench] {
            const devsim::CSimDeviceState state = bench.fleet().sDeviceState(1);
            return state.m_ucMotorTimerH == 44 && state.m_ucMotorTimerV == 12;
        },
        CFleetWindow::kWaitMs));
    ASSERT_TRUE(QTest::qWaitFor(
        [&bench] {
            return bench.window().pResultPane()->strText().contains(
                "127.0.0.3 Get motor pos success");
        },
        CFleetWindow::kWaitMs));
    EXPECT_EQ(7, bench.fleet().sDeviceState(0).m_ucMotorTimerH) << "only the selected device";
}

TEST_F(DevicePagesOnBench, VideoParametersTabReadsAndApplyWritesTheDevice) {
    CFleetWindow bench;
    const std::string error = bench.strStart(2);
    ASSERT_TRUE(error.empty()) << error;
    auto* page = qobject_cast<CDlgVideoParam*>(bench.window().pPage(4));
    ASSERT_NE(nullptr, page);
    ASSERT_TRUE(bench.fgSelectAndLogIn("127.0.0.2"));
    bench.window().pTabCtrl()->vSetCurSel(4);
    const CStreamControls& mainStream = page->mainStream();
    const CStreamControls& subStream = page->subStream();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return mainStream.m_pResolution->currentText() == "720P" &&
                   mainStream.m_pFrameRate->text() == "25" &&
                   mainStream.m_pBitRate->text() == "2048" &&
                   mainStream.m_pStandard->currentText() == "PAL" &&
                   subStream.m_pResolution->currentText() == "VGA" &&
                   subStream.m_pBitRate->text() == "512";
        },
        CFleetWindow::kWaitMs));

    mainStream.m_pResolution->setCurrentIndex(3);  // 1080P
    mainStream.m_pBitRate->setText("4096");
    subStream.m_pStandard->setCurrentIndex(1);  // NTSC
    QTest::mouseClick(page->pApplyButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [&bench] {
            const devsim::CSimDeviceState state = bench.fleet().sDeviceState(0);
            return state.m_mainStream == devsim::CStreamSettings{18, 25, 4096, 0} &&
                   state.m_subStream == devsim::CStreamSettings{7, 15, 512, 1};
        },
        CFleetWindow::kWaitMs));
}

TEST_F(DevicePagesOnBench, DeviceInfoFollowsTheClickedRowAndItsLoginReply) {
    CFleetWindow bench;
    // Device 4 is a gateway; the others are cameras with an infrared detector.
    const std::string error = bench.strStart(5);
    ASSERT_TRUE(error.empty()) << error;
    auto* page = qobject_cast<CDlgDevInfo*>(bench.window().pPage(kTabDevInfo));
    ASSERT_NE(nullptr, page);
    bench.window().pTabCtrl()->vSetCurSel(kTabDevInfo);

    const devsim::CSimDeviceState camera = bench.fleet().sDeviceState(1);
    ASSERT_TRUE(bench.fgSelectAndLogIn("127.0.0.3"));
    ASSERT_TRUE(QTest::qWaitFor([page] { return page->pInfraredBox()->isChecked(); },
                                CFleetWindow::kWaitMs));
    EXPECT_EQ(camera.m_strUid, page->pUidEdit()->text().toStdString());
    EXPECT_EQ("127.0.0.3", page->wired().m_pIp->text().toStdString());
    EXPECT_EQ("Old head shaking camera", page->pTypeEdit()->text().toStdString());
    EXPECT_FALSE(page->pGatewayBox()->isChecked());

    ASSERT_TRUE(bench.fgSelectAndLogIn("127.0.0.6"));
    ASSERT_TRUE(QTest::qWaitFor([page] { return page->pGatewayBox()->isChecked(); },
                                CFleetWindow::kWaitMs));
    EXPECT_FALSE(page->pInfraredBox()->isChecked());
    EXPECT_EQ("Gateway", page->pTypeEdit()->text().toStdString());

    // The Wi-Fi settings reach the gateway.
    page->wifi().m_pIp->setText("192.168.77.50");
    page->wifi().m_pMask->setText("255.255.255.0");
    page->wifi().m_pDhcp->setChecked(false);
    QTest::mouseClick(page->wifi().m_pApply, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [&bench] {
            const devsim::CSimDeviceState state = bench.fleet().sDeviceState(4);
            return state.m_wifi.m_strIp == "192.168.77.50" && !state.m_wifi.m_fgDhcp;
        },
        CFleetWindow::kWaitMs));
}

}  // namespace

// The gateway's sensors listed on the tab; a climate sensor's test result with its
// scaled values; a sensor learnt from the page is selected in the list that follows.
TEST_F(DevicePagesOnBench, SensorTabTestsTheSelectedSensorAndSelectsALearntOne) {
    CFleetWindow bench;
    // Device 4 (127.0.0.6) is a gateway; it learns a sensor in 1.5 s.
    const std::string error = bench.strStart(
        5, [](std::size_t index, devsim::CSimDeviceState&, devsim::CSimBehaviour& behaviour) {
            behaviour.m_iLearnMs = index == 4 ? 1500 : 0;
        });
    ASSERT_TRUE(error.empty()) << error;
    auto* page = qobject_cast<CDlgSensor*>(bench.window().pPage(5));
    ASSERT_NE(nullptr, page);
    ASSERT_TRUE(bench.fgSelectAndLogIn("127.0.0.6"));
    bench.window().pTabCtrl()->vSetCurSel(5);
    QTableWidget* list = page->pList();
    ASSERT_TRUE(QTest::qWaitFor([list] { return list->rowCount() == 7; }, CFleetWindow::kWaitMs));
    ASSERT_EQ("Climate hall", list->item(2, 0)->text());

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(2, 1)).center());
    EXPECT_EQ(2, page->iSelectedRow());
    QPushButton* test = page->pButton(ESensorButton::kStartTest);
    QTest::mouseClick(test, Qt::LeftButton);
    EXPECT_FALSE(test->isEnabled()) << "until the result comes";
    ASSERT_TRUE(QTest::qWaitFor(
        [page, test] {
            return test->isEnabled() &&
                   page->pResultText()->toPlainText().contains("Illuminance: 300 LX");
        },
        CFleetWindow::kWaitMs));
    const QString result = page->pResultText()->toPlainText();
    EXPECT_TRUE(result.startsWith("Climate hall  Test Result: ")) << result.toStdString();
    EXPECT_TRUE(result.contains("\nTemperature: 21.50\nHumidity: 45.50 %\n"))
        << result.toStdString();

    QTest::mouseClick(page->pButton(ESensorButton::kLearnWarning), Qt::LeftButton);
    EXPECT_TRUE(page->fgLearning());
    ASSERT_TRUE(QTest::qWaitFor(
        [page, list] {
            const int row = page->iSelectedRow();
            return list->rowCount() == 8 && row >= 0 && list->item(row, 1)->text() == "5" &&
                   list->selectionModel()->isRowSelected(row);
        },
        CFleetWindow::kWaitMs));
    EXPECT_FALSE(page->fgLearning());
    EXPECT_EQ("Learn code success", page->pResultText()->toPlainText());
    EXPECT_EQ(8U, bench.fleet().sDeviceState(4).m_sensors.size());
}

// The configuration text of the selected device; a new default password shows in the
// next text; the push box follows bit 6 of "fg0_reset" and writes the other bits back
// as they were; the key functions go to the device and come back.
TEST_F(DevicePagesOnBench, DeviceVersionTabWritesDefaultsAndKeyFunctions) {
    CFleetWindow bench;
    const std::string error =
        bench.strStart(2, [](std::size_t, devsim::CSimDeviceState& state, devsim::CSimBehaviour&) {
            for (auto& [key, value] : state.m_config) {
                value = key == "fg0_reset" ? "69" : value;  // bits 0, 2 and 6
            }
        });
    ASSERT_TRUE(error.empty()) << error;
    auto* page = qobject_cast<CDlgDevVersion*>(bench.window().pPage(3));
    ASSERT_NE(nullptr, page);
    ASSERT_TRUE(bench.fgSelectAndLogIn("127.0.0.3"));
    bench.window().pTabCtrl()->vSetCurSel(3);
    const auto textHas = [page](const char* line) {
        return page->pConfigText()->toPlainText().contains(line);
    };
    const auto keysShow = [page](std::array<int, 4> entries) {
        for (int key = 0; key < kDeviceKeys; ++key) {
            if (page->pKeyCombo(key)->currentIndex() != entries[static_cast<std::size_t>(key)]) {
                return false;
            }
        }
        return true;
    };
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return textHas("fg0_reset=69") && keysShow({0, 1, 2, 3});
        },
        CFleetWindow::kWaitMs));
    EXPECT_FALSE(page->pPushBox()->isChecked());

    page->pItemEdit(EConfigItemButton::kUserPassword)->setText("newpw9");
    QTest::mouseClick(page->pItemButton(EConfigItemButton::kUserPassword), Qt::LeftButton);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return textHas("default_pwd=newpw9"); }, CFleetWindow::kWaitMs));
    EXPECT_TRUE(bench.window().pResultPane()->strText().contains(
        "127.0.0.3 Change the default user password is successful"));
    EXPECT_EQ("kavno", bench.fleet().sDeviceState(0).strConfig("default_pwd")) << "not pooled";

    QTest::mouseClick(page->pPushBox(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return textHas("fg0_reset=5\n"); }, CFleetWindow::kWaitMs));
    EXPECT_TRUE(page->pPushBox()->isChecked());
    QTest::mouseClick(page->pPushBox(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return textHas("fg0_reset=69"); }, CFleetWindow::kWaitMs));
    EXPECT_FALSE(page->pPushBox()->isChecked());

    for (int key = 0; key < kDeviceKeys; ++key) {
        page->pKeyCombo(key)->setCurrentIndex(4 - key);
    }
    QTest::mouseClick(page->pSaveKeysButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [&bench] {
            return bench.fleet().sDeviceState(1).m_keyFunctions ==
                   std::array<std::uint32_t, 4>{209, 117, 76, 18};
        },
        CFleetWindow::kWaitMs));
    for (int key = 0; key < kDeviceKeys; ++key) {
        page->pKeyCombo(key)->setCurrentIndex(-1);
    }
    QTest::mouseClick(page->pQueryKeysButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return keysShow({4, 3, 2, 1}); }, CFleetWindow::kWaitMs));
}
