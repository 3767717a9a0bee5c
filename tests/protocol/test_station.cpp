#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "app/settings.h"
#include "protocol/requests.h"
#include "protocol/station.h"
#include "station_fakes.h"
#include "wire_bytes.h"

namespace {

class StationTest : public ::testing::Test {
  protected:
    StationTest() : m_savedReselect(CSettings::instance().m_fgReselect) {
        CSettings::instance().m_fgReselect = false;
        m_view.vAttachViews(m_station);
    }
    ~StationTest() override { CSettings::instance().m_fgReselect = m_savedReselect; }

    // A device answers the search; its reply is drained at once.
    void vDiscover(const std::string& ip, const std::string& uid,
                   const std::string& version = "V1") {
        m_station.vParseLanInfo(bufDiscoveryReply(uid, version), uiAddr(ip));
        m_station.discovery().iDrainDiscoveryQueue();
    }

    std::vector<std::string> vecRowIps() const {
        std::vector<std::string> ips;
        for (const CDevInfo& devInfo : m_station.registry().vecActiveView()) {
            ips.push_back(devInfo.m_strIp);
        }
        return ips;
    }

    // The datagrams sent, as "target:byte1" (the command code).
    std::vector<std::string> vecSentCodes() const {
        std::vector<std::string> codes;
        for (const CSentDatagram& datagram : m_sender.vecSent()) {
            codes.push_back(datagram.strTarget() + ":" + std::to_string(datagram.m_bytes.at(1)));
        }
        return codes;
    }

    CFakeSender m_sender;
    CFakeView m_view;
    CStation m_station{m_sender, m_view};

  private:
    bool m_savedReselect;
};

}  // namespace

TEST_F(StationTest, DiscoveryReplyIsQueuedSilentlyAndDrainedIntoARecord) {
    m_station.vParseLanInfo(bufDiscoveryReply("KSTA-000001-ABCDEFGH", "V3.0"), uiAddr("10.0.0.7"));
    EXPECT_EQ(m_view.vecEvents(), (std::vector<std::string>{"discoveryQueued"}));
    EXPECT_EQ(m_station.discovery().iDiscoveryQueued(), 1);
    EXPECT_EQ(m_station.registry().iRowCount(), 0);  // records appear only when drained

    EXPECT_EQ(m_station.discovery().iDrainDiscoveryQueue(), 0);
    const auto row = m_station.registry().sRow(0);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->m_strIp, "10.0.0.7");
    EXPECT_EQ(row->m_uiIpAddr, uiAddr("10.0.0.7"));
    EXPECT_EQ(row->m_strUid, "KSTA-000001-ABCDEFGH");
    EXPECT_EQ(row->m_strVersion, "V3.0");
    EXPECT_EQ(row->m_iLoginState, kLoginUnknown);
    // A discovery reply never writes a result line, not even from a known device.
    m_station.vParseLanInfo(bufDiscoveryReply("KSTA-000001-ABCDEFGH"), uiAddr("10.0.0.7"));
    EXPECT_TRUE(m_view.vecResults().empty());
    EXPECT_TRUE(m_sender.vecSent().empty());
}

TEST_F(StationTest, DiscoveryRepliesOfAnyOtherLengthAreIgnored) {
    vDiscover("10.0.0.7", "KSTA");
    m_view.vClear();
    for (const std::size_t length : {0UL, 16UL, 239UL, 241UL, 3072UL}) {
        std::vector<std::uint8_t> reply = bufDiscoveryReply("KSTB");
        reply.resize(length);
        if (length > 1) {
            reply[1] = kReplyDiscovery;
        }
        m_station.vParseLanInfo(reply, uiAddr("10.0.0.8"));
        m_station.vParseLanInfo(reply, uiAddr("10.0.0.7"));
    }
    EXPECT_EQ(m_station.discovery().iDiscoveryQueued(), 0);
    EXPECT_TRUE(m_view.vecEvents().empty());
    EXPECT_TRUE(m_view.vecResults().empty());
    m_station.discovery().iDrainDiscoveryQueue();
    EXPECT_EQ(m_station.registry().iRowCount(), 1);
}

// A drain step works for its time budget: a spent budget still takes one batch (the
// list always moves on), an ample one empties the queue; a burst of a thousand
// replies becomes a thousand records in arrival order.
TEST_F(StationTest, DrainTakesWhatItsBudgetAllowsAndLosesNothing) {
    for (int i = 0; i < 1000; ++i) {
        const std::string ip =
            "10.1." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
        m_station.vParseLanInfo(bufDiscoveryReply("UID" + std::to_string(i)), uiAddr(ip));
    }
    EXPECT_EQ(m_station.discovery().iDiscoveryQueued(), 1000);
    const int left = m_station.discovery().iDrainDiscoveryQueue(std::chrono::microseconds(0));
    EXPECT_LT(left, 1000);
    EXPECT_EQ(m_station.registry().iRowCount(), 1000 - left);
    EXPECT_EQ(m_station.discovery().iDrainDiscoveryQueue(std::chrono::hours(1)), 0);
    const auto rows = m_station.registry().vecActiveView();
    ASSERT_EQ(rows.size(), 1000U);
    EXPECT_EQ(rows.front().m_strIp, "10.1.0.1");
    EXPECT_EQ(rows.back().m_strIp, "10.1.3.250");
    EXPECT_EQ(rows.back().m_strUid, "UID999");
}

TEST_F(StationTest, ADeviceAnsweringAgainUpdatesItsRowAndKeepsItsLogin) {
    vDiscover("10.0.0.1", "KSTA", "V1");
    vDiscover("10.0.0.15", "KSTB", "V1");
    m_station.vParseLanInfo(bufReply({.m_byType = kReplyLoginOk}), uiAddr("10.0.0.1"));
    vDiscover("10.0.0.1", "KSTA", "V2");
    EXPECT_EQ(vecRowIps(), (std::vector<std::string>{"10.0.0.1", "10.0.0.15"}));
    const auto row = m_station.registry().sRow(0);
    EXPECT_EQ(row->m_strVersion, "V2");
    EXPECT_EQ(row->m_iLoginState, kLoginAccepted);
    EXPECT_EQ(m_station.registry().sRow(1)->m_iLoginState, kLoginUnknown);
}

TEST_F(StationTest, AutomaticSortWaitsForSixQuietTicksThenReselects) {
    CSettings::instance().m_fgReselect = true;
    m_station.vSetLastSelectAddr(uiAddr("10.0.0.2"));
    m_station.discovery().vRefresh();
    EXPECT_EQ(m_sender.iSearches(), 1);
    vDiscover("10.0.0.1", "CCCC");
    vDiscover("10.0.0.2", "AAAA");
    vDiscover("10.0.0.3", "BBBB");
    for (int tick = 0; tick < 3; ++tick) {
        EXPECT_TRUE(m_station.discovery().fgSortTick());
    }
    vDiscover("10.0.0.4", "0000");  // a new device restarts the countdown
    for (int tick = 0; tick < 3; ++tick) {
        EXPECT_TRUE(m_station.discovery().fgSortTick());
    }
    vDiscover("10.0.0.1", "CCCC", "V2");  // an update does not
    for (int tick = 0; tick < 2; ++tick) {
        EXPECT_TRUE(m_station.discovery().fgSortTick());
    }
    EXPECT_EQ(vecRowIps(),
              (std::vector<std::string>{"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4"}));
    EXPECT_FALSE(m_station.discovery().fgSortTick());
    EXPECT_EQ(vecRowIps(),
              (std::vector<std::string>{"10.0.0.4", "10.0.0.2", "10.0.0.3", "10.0.0.1"}));
    EXPECT_EQ(m_station.registry().iListSelect(), 1);
    EXPECT_EQ(m_station.registry().vecPool(), (std::vector<int>{1}));
    EXPECT_FALSE(m_station.discovery().fgSortTick());  // the countdown is over: nothing more

    // A device that answers after the sort is appended; the order and the selection
    // the operator works with stay.
    vDiscover("10.0.0.5", "0001");
    EXPECT_FALSE(m_station.discovery().fgSortTick());
    EXPECT_EQ(vecRowIps(), (std::vector<std::string>{"10.0.0.4", "10.0.0.2", "10.0.0.3", "10.0.0.1",
                                                     "10.0.0.5"}));
    EXPECT_EQ(m_station.registry().iListSelect(), 1);
}

TEST_F(StationTest, NoReselectionWithoutTheSettingOnColumnClicksOrUnderTheFilter) {
    m_station.vSetLastSelectAddr(uiAddr("10.0.0.2"));
    m_station.discovery().vRefresh();
    vDiscover("10.0.0.1", "CCCC");
    vDiscover("10.0.0.2", "AAAA");
    while (m_station.discovery().fgSortTick()) {
    }
    EXPECT_EQ(vecRowIps(), (std::vector<std::string>{"10.0.0.2", "10.0.0.1"}));
    EXPECT_EQ(m_station.registry().iListSelect(), -1);
    EXPECT_TRUE(m_station.registry().vecPool().empty());

    CSettings::instance().m_fgReselect = true;
    m_station.vSortByColumn(3);  // address
    EXPECT_EQ(vecRowIps(), (std::vector<std::string>{"10.0.0.1", "10.0.0.2"}));
    EXPECT_EQ(m_station.registry().iListSelect(), -1);
    m_station.vSortByColumn(1);  // UID
    EXPECT_EQ(vecRowIps(), (std::vector<std::string>{"10.0.0.2", "10.0.0.1"}));
    EXPECT_EQ(m_station.registry().iListSelect(), -1);

    m_station.discovery().vRefresh();
    vDiscover("10.0.0.1", "CCCC");
    vDiscover("10.0.0.2", "AAAA");
    ASSERT_TRUE(m_station.registry().fgApplyFilter("a"));
    ASSERT_EQ(m_station.registry().iListSelect(), 0);  // the filter selects its last row
    while (m_station.discovery().fgSortTick()) {
    }
    EXPECT_EQ(m_station.registry().iListSelect(), -1);
}

TEST_F(StationTest, RowClickMakesTheDeviceTheOnlyPooledSelectionAndLogsIn) {
    vDiscover("10.0.0.1", "KSTA");
    vDiscover("10.0.0.2", "KSTB");
    vDiscover("10.0.0.3", "KSTC");
    m_station.vSelectAll(true);
    ASSERT_EQ(m_station.registry().vecPool().size(), 3U);

    const auto shown = m_station.sSelectRow(1);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->m_strIp, "10.0.0.2");
    EXPECT_EQ(m_station.registry().iListSelect(), 1);
    EXPECT_EQ(m_station.registry().vecPool(), (std::vector<int>{1}));
    // The station keeps the selection; the process-wide settings stay as started.
    const std::uint32_t startUpAddr = CSettings::instance().m_uiLastSelectAddr;
    EXPECT_EQ(m_station.uiLastSelectAddr(), uiAddr("10.0.0.2"));
    EXPECT_EQ(CSettings::instance().m_uiLastSelectAddr, startUpAddr);
    const auto sent = m_sender.vecSent();
    ASSERT_EQ(sent.size(), 1U);
    EXPECT_EQ(sent[0].m_ePath, CSentDatagram::EPath::kToDev);
    EXPECT_EQ(sent[0].m_uiAddr, uiAddr("10.0.0.2"));
    EXPECT_EQ(sent[0].m_bytes, bufBuildLogin("", ELoginOrigin::kRowClick));
    EXPECT_EQ(sent[0].m_bytes.at(12), 0);

    EXPECT_FALSE(m_station.sSelectRow(3));  // no such row: nothing changes
    EXPECT_EQ(m_station.registry().iListSelect(), 1);
    EXPECT_EQ(m_sender.vecSent().size(), 1U);
}

TEST_F(StationTest, CheckBoxesMoveTheSelectionToTheFirstPooledRowLeft) {
    vDiscover("10.0.0.1", "KSTA");
    vDiscover("10.0.0.2", "KSTB");
    vDiscover("10.0.0.3", "KSTC");
    m_station.vToggleRowCheck(2, true);
    m_station.vToggleRowCheck(0, true);
    m_station.vToggleRowCheck(1, true);
    EXPECT_EQ(m_station.registry().vecPool(), (std::vector<int>{2, 0, 1}));
    EXPECT_EQ(m_station.registry().iListSelect(), 1);
    m_station.vToggleRowCheck(1, false);
    EXPECT_EQ(m_station.registry().iListSelect(), 2);
    m_station.vToggleRowCheck(2, false);
    EXPECT_EQ(m_station.registry().iListSelect(), 0);
    m_station.vToggleRowCheck(0, false);
    EXPECT_EQ(m_station.registry().iListSelect(), -1);
    EXPECT_TRUE(m_station.registry().vecPool().empty());
    EXPECT_TRUE(m_sender.vecSent().empty());
}

TEST_F(StationTest, RefreshEmptiesRegistryPoolSelectionAndFilterAndSearches) {
    vDiscover("10.0.0.1", "KSTA");
    vDiscover("10.0.0.2", "KSTB");
    ASSERT_TRUE(m_station.registry().fgApplyFilter("kst"));
    m_station.discovery().vRefresh();
    EXPECT_EQ(m_sender.iSearches(), 1);
    EXPECT_EQ(m_station.registry().iRowCount(), 0);
    EXPECT_FALSE(m_station.registry().fgFilterActive());
    EXPECT_TRUE(m_station.registry().vecPool().empty());
    EXPECT_EQ(m_station.registry().iListSelect(), -1);
}

TEST_F(StationTest, LoginCheckOfASilentDeviceSendsTwoRequestsAndWritesOneLine) {
    vDiscover("10.0.0.1", "KSTA");
    m_station.registry().vSetListSelect(0);
    m_station.vSetPassword("secret");
    std::string ip = "unchanged";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(m_station.fgSelectDevIsLogin(&ip));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(240));
    EXPECT_LT(waited, std::chrono::milliseconds(3000));
    EXPECT_EQ(ip, "unchanged");

    const auto sent = m_sender.vecSent();
    ASSERT_EQ(sent.size(), 2U);
    for (const CSentDatagram& datagram : sent) {
        EXPECT_EQ(datagram.m_uiAddr, uiAddr("10.0.0.1"));
        EXPECT_EQ(datagram.m_bytes, bufBuildLogin("secret", ELoginOrigin::kLoginCheck));
        EXPECT_EQ(datagram.m_bytes.at(12), 1);
    }
    EXPECT_EQ(m_view.vecResults(),
              (std::vector<std::string>{"\r\n10.0.0.1 login no recv response"}));
}

// A window hands in a wait that keeps its event loop running and takes it back when it
// goes; the checks after that wait by sleeping again instead of calling an empty wait.
TEST_F(StationTest, LoginCheckWaitsThroughTheGivenWaitAndSleepsAgainOnceItIsTakenBack) {
    vDiscover("10.0.0.1", "KSTA");
    m_station.registry().vSetListSelect(0);
    int windowWaits = 0;
    m_station.vSetLoginWait([&windowWaits](int waitMs) {
        EXPECT_EQ(waitMs, CStation::kLoginWaitMs);
        ++windowWaits;
    });
    EXPECT_FALSE(m_station.fgSelectDevIsLogin());
    EXPECT_EQ(windowWaits, CStation::kLoginAttempts);

    m_station.vSetLoginWait(nullptr);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_NO_THROW(EXPECT_FALSE(m_station.fgSelectDevIsLogin()));
    EXPECT_GE(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(CStation::kLoginAttempts * CStation::kLoginWaitMs));
    EXPECT_EQ(windowWaits, CStation::kLoginAttempts);
}

TEST_F(StationTest, RefusedPasswordFailsAtOnceWithoutTrafficUntilTheNextRefresh) {
    vDiscover("10.0.0.1", "KSTA");
    m_station.registry().vSetListSelect(0);
    m_station.vParseLanInfo(bufReply({.m_byType = kReplyLoginRefused}), uiAddr("10.0.0.1"));
    m_sender.vClear();
    m_view.vClear();

    for (int check = 0; check < 3; ++check) {
        std::string ip;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(m_station.fgSelectDevIsLogin(&ip));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(40));
        EXPECT_EQ(ip, "10.0.0.1");
    }
    EXPECT_TRUE(m_sender.vecSent().empty());
    EXPECT_TRUE(m_view.vecResults().empty());
    EXPECT_FALSE(m_station.devCmd().fgFormatSd());
    EXPECT_TRUE(m_sender.vecSent().empty());

    // A refresh forgets the refusal: the device is asked again.
    m_station.discovery().vRefresh();
    vDiscover("10.0.0.1", "KSTA");
    m_station.registry().vSetListSelect(0);
    m_sender.m_onSend = [this](const CSentDatagram& datagram) {
        if (datagram.m_bytes.at(1) == kCmdLogin) {
            m_station.vParseLanInfo(bufReply({.m_byType = kReplyLoginOk}), datagram.m_uiAddr);
        }
    };
    EXPECT_TRUE(m_station.fgSelectDevIsLogin());
    EXPECT_EQ(vecSentCodes(), (std::vector<std::string>{"10.0.0.1:2"}));
}

TEST_F(StationTest, AcceptedLoginIsRememberedAndLaterChecksSendNothing) {
    vDiscover("10.0.0.1", "KSTA");
    vDiscover("10.0.0.2", "KSTB");
    m_station.registry().vSetListSelect(1);
    // The device answers the first login request at once.
    m_sender.m_onSend = [this](const CSentDatagram& datagram) {
        if (datagram.m_bytes.at(1) == kCmdLogin) {
            m_station.vParseLanInfo(bufReply({.m_byType = kReplyLoginOk}), datagram.m_uiAddr);
        }
    };
    std::string ip;
    EXPECT_TRUE(m_station.fgSelectDevIsLogin(&ip));
    EXPECT_EQ(ip, "10.0.0.2");
    EXPECT_EQ(vecSentCodes(), (std::vector<std::string>{"10.0.0.2:2"}));

    m_sender.vClear();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(m_station.fgSelectDevIsLogin());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(40));
    EXPECT_TRUE(m_sender.vecSent().empty());

    // A command after the check goes out alone, to the device's address text.
    EXPECT_TRUE(m_station.devCmd().fgFormatSd());
    const auto sent = m_sender.vecSent();
    ASSERT_EQ(sent.size(), 1U);
    EXPECT_EQ(sent[0].m_ePath, CSentDatagram::EPath::kByIpStr);
    EXPECT_EQ(sent[0].m_strIp, "10.0.0.2");
    EXPECT_EQ(sent[0].m_usPort, kPortCommand);
    EXPECT_EQ(sent[0].m_bytes, WireBytes("A8 0E 00x14"));
}

TEST_F(StationTest, LoginCheckWithoutSelectionFailsWithoutTraffic) {
    vDiscover("10.0.0.1", "KSTA");
    EXPECT_FALSE(m_station.fgSelectDevIsLogin());
    EXPECT_TRUE(m_sender.vecSent().empty());
    EXPECT_TRUE(m_view.vecResults().empty());
}

TEST_F(StationTest, SendCmdCarriesPayloadsOfOneTo1007Bytes) {
    vDiscover("10.0.0.1", "KSTA");
    m_station.registry().vSetListSelect(0);

    const std::vector<std::uint8_t> tooLong(1008, 0x5A);
    m_station.vSendCmd(0x37, 0x05, tooLong, ECmdTarget::kSelected);
    std::vector<std::uint8_t> longest(1007, 0);
    for (std::size_t i = 0; i < longest.size(); ++i) {
        longest[i] = static_cast<std::uint8_t>(i);
    }
    m_station.vSendCmd(0x37, 0x05, longest, ECmdTarget::kSelected);
    m_station.vSendCmd(0x11, 0x00, {}, ECmdTarget::kSelected);

    const auto sent = m_sender.vecSent();
    ASSERT_EQ(sent.size(), 3U);
    EXPECT_EQ(sent[0].m_bytes, WireBytes("A8 37 00 00 00x8 05 00 00 00"));
    ASSERT_EQ(sent[1].m_bytes.size(), 1023U);
    EXPECT_EQ(std::vector<std::uint8_t>(sent[1].m_bytes.begin(), sent[1].m_bytes.begin() + 16),
              WireBytes("A8 37 EF 03 00x8 05 00 00 00"));
    EXPECT_TRUE(std::equal(longest.begin(), longest.end(), sent[1].m_bytes.begin() + 16));
    EXPECT_EQ(sent[2].m_bytes, WireBytes("A8 11 00x14"));
    for (const CSentDatagram& datagram : sent) {
        EXPECT_EQ(datagram.m_ePath, CSentDatagram::EPath::kToDev);
        EXPECT_EQ(datagram.m_uiAddr, uiAddr("10.0.0.1"));
    }
}

TEST_F(StationTest, PooledSendGoesToEveryPooledDeviceInPoolOrder) {
    for (int i = 1; i <= 4; ++i) {
        vDiscover("10.0.0." + std::to_string(i), "KS" + std::to_string(i));
    }
    m_station.vToggleRowCheck(2, true);
    m_station.vToggleRowCheck(0, true);
    m_station.vToggleRowCheck(3, true);
    const std::vector<std::uint8_t> payload = {1, 2, 3};
    m_station.vSendCmd(0x18, 0, payload, ECmdTarget::kPool);
    EXPECT_EQ(vecSentCodes(),
              (std::vector<std::string>{"10.0.0.3:24", "10.0.0.1:24", "10.0.0.4:24"}));
    EXPECT_EQ(m_sender.vecSent()[0].m_bytes, WireBytes("A8 18 03 00 00x12 01 02 03"));

    // Without a selection a selected-device command sends nothing.
    m_sender.vClear();
    m_station.vSelectAll(false);
    m_station.vSendCmd(0x18, 0, payload, ECmdTarget::kSelected);
    m_station.vSendCmd(0x18, 0, payload, ECmdTarget::kPool);
    EXPECT_TRUE(m_sender.vecSent().empty());
}

TEST_F(StationTest, PooledSendOf200DevicesReachesThemAll) {
    for (int i = 0; i < 200; ++i) {
        m_station.vParseLanInfo(
            bufDiscoveryReply("U" + std::to_string(i)),
            uiAddr("10.2." + std::to_string(i / 100) + "." + std::to_string(i % 100 + 1)));
    }
    while (m_station.discovery().iDrainDiscoveryQueue() > 0) {
    }
    m_station.vSelectAll(true);
    m_station.vSendCmd(0x1E, 0, {}, ECmdTarget::kPool);
    const auto sent = m_sender.vecSent();
    ASSERT_EQ(sent.size(), 200U);
    EXPECT_EQ(sent.front().strTarget(), "10.2.0.1");
    EXPECT_EQ(sent.back().strTarget(), "10.2.1.100");
}

TEST_F(StationTest, ExtendedCommandCarriesItsSubCommandToTheSelectedDevice) {
    vDiscover("10.0.0.1", "KSTA");
    m_station.vSendExtCmd({}, kExtGetKeyFuncs);
    EXPECT_TRUE(m_sender.vecSent().empty());
    m_station.registry().vSetListSelect(0);
    const std::vector<std::uint8_t> action = {6, 0, 0, 0};
    m_station.vSendExtCmd(action, kExtCameraAction);
    const auto sent = m_sender.vecSent();
    ASSERT_EQ(sent.size(), 1U);
    EXPECT_EQ(sent[0].m_uiAddr, uiAddr("10.0.0.1"));
    EXPECT_EQ(sent[0].m_bytes, WireBytes("A8 1A 04 00 00x4 06 10 00 00 00x4 06 00 00 00"));
}

TEST_F(StationTest, WifiPollAsksTenTimesUnlessTheResultArrives) {
    vDiscover("10.0.0.1", "KSTA");
    m_station.registry().vSetListSelect(0);
    ASSERT_TRUE(m_station.login().fgConnectWifi("Lab", 4, "pw"));
    auto sent = m_sender.vecSent();
    ASSERT_EQ(sent.size(), 1U);
    EXPECT_EQ(sent[0].m_strIp, "10.0.0.1");
    EXPECT_EQ(sent[0].m_usPort, kPortCommand);
    EXPECT_EQ(sent[0].m_bytes, bufBuildConnectWifi(4, "pw", "Lab"));
    EXPECT_EQ(m_station.login().iWifiPollCountdown(), 10);

    m_sender.vClear();
    int ticks = 0;
    while (m_station.login().fgWifiPollTick()) {
        ++ticks;
    }
    EXPECT_EQ(ticks, 9);  // the tenth query ends the polling
    sent = m_sender.vecSent();
    ASSERT_EQ(sent.size(), 10U);
    for (const CSentDatagram& datagram : sent) {
        EXPECT_EQ(datagram.m_uiAddr, uiAddr("10.0.0.1"));
        EXPECT_EQ(datagram.m_bytes, WireBytes("A8 4F 00x14"));
    }
    EXPECT_FALSE(m_station.login().fgWifiPollTick());
    EXPECT_EQ(m_sender.vecSent().size(), 10U);

    // The result from the polled device stops the polling.
    ASSERT_TRUE(m_station.login().fgConnectWifi("Lab", 4, "pw"));
    m_sender.vClear();
    EXPECT_TRUE(m_station.login().fgWifiPollTick());
    m_station.vParseLanInfo(bufReply({.m_byType = kReplyWifiStatus}), uiAddr("10.0.0.1"));
    EXPECT_EQ(m_station.login().iWifiPollCountdown(), 0);
    EXPECT_FALSE(m_station.login().fgWifiPollTick());
    EXPECT_EQ(m_sender.vecSent().size(), 1U);
}
