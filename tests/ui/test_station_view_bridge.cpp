// The station's calls reach the window from another thread without waiting for it. The
// sender only records: the replies are handed to the station by the test itself.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <thread>

#include "devsim/sim_wire.h"
#include "net/socket_layer.h"
#include "protocol/station.h"
#include "protocol/station_fakes.h"
#include "ui/client_dlg.h"
#include "ui/device_list_model.h"
#include "ui/device_list_view.h"
#include "ui/main_controls.h"
#include "ui/result_pane.h"
#include "ui/station_view_bridge.h"
#include "ui_test_env.h"

namespace {

std::uint32_t uiHostAddr(int host) {
    std::uint32_t addr = 0;
    fgParseIp("10.9." + std::to_string(host / 250) + "." + std::to_string(host % 250 + 1), addr);
    return addr;
}

devsim::CBytes sDiscoveryReply(int host) {
    devsim::CDiscoveryInfo info;
    info.m_strWiredIp = strIpText(uiHostAddr(host));
    info.m_strWifiIp = "0.0.0.0";
    info.m_strUid = "BRDG" + std::string(12, '0') + std::to_string(1000 + host);
    info.m_strVersion = "V1";
    return devsim::sBuildDiscoveryReply(info);
}

class StationViewBridgeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_bridge.vAttachViews(m_station);
        m_bridge.vAttach(&m_window);
        m_window.vInitDialog();
    }

    // Runs body on a thread of its own and waits for it without turning the event
    // loop: whatever body calls must not wait for the window.
    static void vOnOtherThread(const std::function<void()>& body) {
        std::thread worker(body);
        worker.join();
    }

    // Calls reach the window in the order they were made: once a marker line made
    // after them is shown, everything made before it has been delivered (or dropped).
    void vSettle() {
        static int marker = 0;
        const QString text = QString("settled-%1").arg(++marker);
        vOnOtherThread([this, &text] { m_station.vReport(sTextResult(text.toStdString())); });
        ASSERT_TRUE(QTest::qWaitFor(
            [this, &text] { return m_window.pResultPane()->strText().contains(text); }, 5000));
    }

    CFakeSender m_sender;
    CStationViewBridge m_bridge;
    CStation m_station{m_sender, m_bridge};
    CclientDlg m_window{nullptr, &m_station, std::nullopt};
};

TEST_F(StationViewBridgeTest, ABurstOfDiscoveryRepliesIsListedWhole) {
    constexpr int kReplies = 100;  // more than one drain tick takes
    vOnOtherThread([this] {
        for (int host = 0; host < kReplies; ++host) {
            m_station.vParseLanInfo(sDiscoveryReply(host), uiHostAddr(host));
        }
    });
    EXPECT_EQ(0, m_window.pDevListModel()->rowCount()) << "nothing before the UI thread runs";
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return m_window.pDevListModel()->rowCount() == kReplies; }, 5000));
    EXPECT_EQ(0, m_station.discovery().iDiscoveryQueued());
    ASSERT_TRUE(QTest::qWaitFor([this] { return !m_window.fgTimerActive(EDlgTimer::kDrain); }));
}

TEST_F(StationViewBridgeTest, ResultLinesAndLoginRepliesArriveInOrder) {
    vOnOtherThread([this] {
        m_station.vParseLanInfo(sDiscoveryReply(1), uiHostAddr(1));
        m_station.vReport(sTextResult("first"));
        m_station.vReport(sTextResult("second"));
        const std::vector<devsim::CWifiListEntry> networks{{4, 87, "Lab-5G"}, {0, 30, "Guest"}};
        m_station.vParseLanInfo(devsim::sBuildLoginReply(true, {}, networks, 1), uiHostAddr(1));
    });
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_window.pWifiList()->iRowCount() == 2; }));
    EXPECT_TRUE(m_window.pResultPane()->strText().endsWith("\nfirst\nsecond"));
    EXPECT_EQ("Lab-5G", m_window.pWifiList()->strCell(0, 1));
    EXPECT_EQ("Guest", m_window.pWifiList()->strCell(1, 1));
    EXPECT_EQ("Connected Wifi:  Lab-5G",
              qobject_cast<QLabel*>(m_window.pControl(kIdcWifiStatus))->text());
}

TEST_F(StationViewBridgeTest, RegistryChangesMadeOnAnotherThreadAreShownLater) {
    vOnOtherThread([this] {
        for (int host = 0; host < 3; ++host) {
            m_station.vParseLanInfo(sDiscoveryReply(host), uiHostAddr(host));
        }
    });
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_window.pDevListModel()->rowCount() == 3; }));
    vOnOtherThread([this] { m_station.registry().vDevPoolAdd(-1, CDevRegistry::EPoolAdd::kAll); });
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_window.pDevListModel()->fgIsChecked(2); }));
    EXPECT_TRUE(m_window.pDevListModel()->fgIsChecked(0));
    EXPECT_EQ(3, m_window.pPoolPane()->strText().count('\n'));
}

TEST_F(StationViewBridgeTest, CallsWithoutAWindowAreDropped) {
    m_bridge.vAttach(nullptr);
    vOnOtherThread([this] {
        m_station.vReport(sTextResult("lost"));
        m_bridge.vSetDeviceTypeText("Gateway Dev");
        m_station.vParseLanInfo(sDiscoveryReply(3), uiHostAddr(3));
    });
    // Processed while still detached: dropped, not kept for a later window.
    QCoreApplication::processEvents();
    m_bridge.vAttach(&m_window);
    vSettle();
    EXPECT_FALSE(m_window.pResultPane()->strText().contains("lost"));
    EXPECT_TRUE(qobject_cast<QLabel*>(m_window.pControl(kIdcDeviceKind))->text().isEmpty());
    EXPECT_EQ(0, m_window.pDevListModel()->rowCount());

    vOnOtherThread([this] { m_bridge.vSetDeviceTypeText("Gateway Dev"); });
    ASSERT_TRUE(QTest::qWaitFor([this] {
        return qobject_cast<QLabel*>(m_window.pControl(kIdcDeviceKind))->text() == "Gateway Dev";
    }));
}

TEST_F(StationViewBridgeTest, EveryTwentiethSetUidSuccessRefreshesTheWholeList) {
    vOnOtherThread([this] { m_station.vParseLanInfo(sDiscoveryReply(1), uiHostAddr(1)); });
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_window.pDevListModel()->rowCount() == 1; }));
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return !m_window.fgTimerActive(EDlgTimer::kSearchAgain); }));
    CReplyFields success;
    success.m_byType = kReplySetUidOk;
    const int searchesBefore = m_sender.iSearches();
    vOnOtherThread([this, &success] {
        for (int reply = 1; reply < CDevCmdFeature::kSetUidRefreshEvery; ++reply) {
            m_station.vParseLanInfo(bufReply(success), uiHostAddr(1));
        }
    });
    vSettle();
    EXPECT_EQ(searchesBefore, m_sender.iSearches()) << "only the device itself is asked again";
    EXPECT_EQ(1, m_window.pDevListModel()->rowCount());

    vOnOtherThread([this, &success] { m_station.vParseLanInfo(bufReply(success), uiHostAddr(1)); });
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_window.pDevListModel()->rowCount() == 0; }));
    // The refresh searches at once and once more a moment later.
    ASSERT_TRUE(QTest::qWaitFor(
        [this, searchesBefore] { return m_sender.iSearches() == searchesBefore + 2; }, 5000));
}

// The Wi-Fi connect result is the one box that carries the application's name.
TEST_F(StationViewBridgeTest, WifiResultBoxIsCaptionedWithTheApplicationName) {
    vOnOtherThread([this] { m_station.vParseLanInfo(sDiscoveryReply(1), uiHostAddr(1)); });
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_window.pDevListModel()->rowCount() == 1; }));
    vOnOtherThread([this] {
        m_station.vParseLanInfo(devsim::sBuildWifiConnectedReply("Lab-5G"), uiHostAddr(1));
    });
    QMessageBox* box = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&box] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* shown = qobject_cast<QMessageBox*>(widget); shown && shown->isVisible()) {
                    box = shown;
                }
            }
            return box != nullptr;
        },
        5000));
    EXPECT_EQ("Kestrel", box->windowTitle());
    EXPECT_TRUE(box->text().startsWith("uid:")) << box->text().toStdString();
    box->close();
}

TEST_F(StationViewBridgeTest, ALearnedSensorIsNamedInADialogOnTheUiThread) {
    const std::uint32_t device = uiHostAddr(7);
    QString title;
    vCloseNextModal([&title](QWidget& dialog) {
        title = dialog.windowTitle();
        dialog.findChild<QLineEdit*>()->setText("Door hall");
        for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
            if (button->text() == "OK") {
                button->click();
            }
        }
    });
    CReplyFields learned;
    learned.m_byType = kReplyLearned;
    vOnOtherThread(
        [this, &learned, device] { m_station.vParseLanInfo(bufReply(learned), device); });
    EXPECT_TRUE(title.isEmpty()) << "the receive thread never waits for the dialog";
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_sender.vecSent().size() == 2; }));
    EXPECT_EQ("Setting Name", title);
    const std::vector<CSentDatagram> sent = m_sender.vecSent();
    EXPECT_EQ(strIpText(device), sent[0].m_strIp);
    EXPECT_TRUE(sent[0].m_fgBroadcast) << "the name goes to the device's subnet";
    ASSERT_EQ(56U, sent[0].m_bytes.size());
    EXPECT_EQ(0x34, sent[0].m_bytes[1]);
    EXPECT_EQ("Door hall", std::string(reinterpret_cast<const char*>(&sent[0].m_bytes[20])));
    EXPECT_FALSE(sent[1].m_fgBroadcast);
    EXPECT_EQ(0x23, sent[1].m_bytes[1]) << "then the sensor list is asked for";
}

}  // namespace
