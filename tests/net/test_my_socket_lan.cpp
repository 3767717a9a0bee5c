// The transport between real interfaces: the station's namespace sits in the middle,
// one veth pair to a device namespace on 10.200.1.0/24 and one to another device
// namespace on 10.200.2.0/24.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "lan_test_util.h"
#include "net/my_socket.h"
#include "net/socket_helpers.h"
#include "support/capture_stderr.h"

namespace {

struct CSubnet {
    std::string m_station;    // station's address
    std::string m_device;     // device's address
    std::string m_broadcast;  // subnet broadcast address
};
const CSubnet kSubnetA{"10.200.1.1", "10.200.1.2", "10.200.1.255"};
const CSubnet kSubnetB{"10.200.2.1", "10.200.2.2", "10.200.2.255"};

class TwoSubnets : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fgCanUseNetns()) {
            GTEST_SKIP() << strNetnsSkipReason();
        }
        m_station.emplace("kt-st");
        m_devA.emplace("kt-da");
        m_devB.emplace("kt-db");
        vVethPair(*m_station, kSubnetA.m_station + "/24", *m_devA, kSubnetA.m_device + "/24");
        vVethPair(*m_station, kSubnetB.m_station + "/24", *m_devB, kSubnetB.m_device + "/24");
        // The devices' announcements to the multicast group leave towards the station.
        m_devA->vIp("route add default via " + kSubnetA.m_station);
        m_devB->vIp("route add default via " + kSubnetB.m_station);
    }

    const CNetns& station() const { return *m_station; }
    const CNetns& device(const CSubnet& subnet) const {
        return &subnet == &kSubnetA ? *m_devA : *m_devB;
    }

    // Opens the transport in the station's namespace on both interfaces.
    bool fgInit() {
        bool initialised = false;
        vInNetns(station(), [&] {
            initialised = m_transport.Init(
                m_recorder,
                std::vector{*sParseBindAddr("10.200.1.1/24"), *sParseBindAddr("10.200.2.1/24")});
        });
        return initialised;
    }

    std::vector<std::uint16_t> vecPortsOf(const CSubnet& subnet) const {
        std::vector<std::uint16_t> ports;
        for (const CSockTabInfo& entry : m_transport.vecSockTab()) {
            if (entry.m_uiAddr == iIp(subnet.m_station)) {
                ports.push_back(entry.m_usPort);
            }
        }
        std::sort(ports.begin(), ports.end());
        return ports;
    }

    CRecorder m_recorder;
    CMySocket m_transport;

  private:
    std::optional<CNetns> m_station;
    std::optional<CNetns> m_devA;
    std::optional<CNetns> m_devB;
};

const std::vector<std::uint8_t> kSearch(CMySocket::kSearchDatagram.begin(),
                                        CMySocket::kSearchDatagram.end());

// Each interface sends the search once, from its search socket to its own subnet's
// broadcast address; the device's answer to that port reaches the receiver.
TEST_F(TwoSubnets, SearchLeavesEachInterfaceOnceToItsSubnetBroadcast) {
    const CSocket listenA = sBoundUdp(device(kSubnetA), kSubnetA.m_broadcast, kPortSearch);
    const CSocket listenB = sBoundUdp(device(kSubnetB), kSubnetB.m_broadcast, kPortSearch);
    const CSocket replyA = sBoundUdp(device(kSubnetA), kSubnetA.m_device, kPortSearch);
    ASSERT_TRUE(fgInit());
    EXPECT_EQ(vecPortsOf(kSubnetA), (std::vector<std::uint16_t>{kPortUpgrade, kPortCommand,
                                                                kPortSearchSrc, kPortAnnounce}));
    EXPECT_EQ(vecPortsOf(kSubnetB), vecPortsOf(kSubnetA));

    m_transport.vSearchDev();
    for (const auto& [listener, subnet] : {std::pair{&listenA, &kSubnetA}, {&listenB, &kSubnetB}}) {
        const auto search = sRecvOne(*listener);
        ASSERT_TRUE(search.has_value()) << subnet->m_broadcast;
        EXPECT_EQ(search->m_data, kSearch);
        EXPECT_EQ(search->m_from, sEndpoint(subnet->m_station, kPortSearchSrc));
        EXPECT_FALSE(sRecvOne(*listener, 200).has_value())
            << "second search on " << subnet->m_broadcast;
    }

    const std::vector<std::uint8_t> reply(240, 0x7E);
    ASSERT_EQ(iSendTo(replyA, reply, sEndpoint(kSubnetA.m_station, kPortSearchSrc)), 240);
    const auto items = m_recorder.vecWaitFor(1);
    ASSERT_EQ(items.size(), 1U);
    EXPECT_EQ(items[0].m_data, reply);
    EXPECT_EQ(items[0].m_from, sEndpoint(kSubnetA.m_device, kPortSearch));
}

// A command leaves from the command socket of the device's subnet; with the broadcast
// flag it goes to that subnet's broadcast address at the given port.
TEST_F(TwoSubnets, CommandsLeaveFromTheSubnetsCommandSocket) {
    ASSERT_TRUE(fgInit());
    const std::vector<std::uint8_t> command{0xA8, 0x02, 0x00, 0x00, 0x11, 0x22};
    for (const CSubnet* subnet : {&kSubnetA, &kSubnetB}) {
        const CSocket deviceCommand = sBoundUdp(device(*subnet), subnet->m_device, kPortCommand);
        const CSocket deviceSearch = sBoundUdp(device(*subnet), subnet->m_broadcast, kPortSearch);

        EXPECT_EQ(m_transport.iSendUdpToDev(iIp(subnet->m_device), command), 0);
        auto got = sRecvOne(deviceCommand);
        ASSERT_TRUE(got.has_value()) << subnet->m_device;
        EXPECT_EQ(got->m_data, command);
        EXPECT_EQ(got->m_from, sEndpoint(subnet->m_station, kPortCommand));

        EXPECT_TRUE(m_transport.fgSendUdpByIpStr(subnet->m_device, kPortCommand, command, false));
        got = sRecvOne(deviceCommand);
        ASSERT_TRUE(got.has_value()) << subnet->m_device;
        EXPECT_EQ(got->m_from, sEndpoint(subnet->m_station, kPortCommand));

        const std::string elsewhere =
            subnet->m_broadcast.substr(0, subnet->m_broadcast.size() - 3) + "77";
        EXPECT_TRUE(m_transport.fgSendUdpByIpStr(elsewhere, kPortSearch, command, true));
        got = sRecvOne(deviceSearch);
        ASSERT_TRUE(got.has_value()) << subnet->m_broadcast;
        EXPECT_EQ(got->m_data, command);
        EXPECT_EQ(got->m_from, sEndpoint(subnet->m_station, kPortCommand));
    }
}

// Datagrams of every length up to the 3,072-byte buffer reach the receiver whole,
// also the empty one; a longer one is dropped as a whole, never handed on cut.
TEST_F(TwoSubnets, DatagramsUpToTheBufferArriveWholeLongerOnesAreDropped) {
    ASSERT_TRUE(fgInit());
    const CSocket device = sBoundUdp(this->device(kSubnetA), kSubnetA.m_device, kPortCommand);
    const CEndpoint stationCommand = sEndpoint(kSubnetA.m_station, kPortCommand);
    const std::vector<std::size_t> sent{0, 3072, 3073, 4000, 5};
    const std::vector<std::size_t> delivered{0, 3072, 5};
    std::string log;
    {
        CCaptureStderr capture;
        for (const std::size_t length : sent) {
            const std::vector<std::uint8_t> data(length, static_cast<std::uint8_t>(length));
            ASSERT_EQ(iSendTo(device, data, stationCommand), static_cast<int>(length));
        }
        // The last datagram is delivered after the drops before it were logged.
        (void)m_recorder.vecWaitFor(delivered.size());
        log = capture.text();
    }
    const auto items = m_recorder.vecWaitFor(delivered.size() + 1, 0);
    ASSERT_EQ(items.size(), delivered.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].m_data,
                  std::vector<std::uint8_t>(delivered[i], static_cast<std::uint8_t>(delivered[i])));
        EXPECT_EQ(items[i].m_from, sEndpoint(kSubnetA.m_device, kPortCommand));
        EXPECT_FALSE(items[i].m_isAnnouncement);
    }
    EXPECT_NE(log.find("datagram of 3073 bytes"), std::string::npos);
    EXPECT_NE(log.find("datagram of 4000 bytes"), std::string::npos);
}

// An announcement to the group reaches the receiver once, through the socket of the
// interface it arrived on, as an announcement.
TEST_F(TwoSubnets, AnnouncementsArriveOncePerDevice) {
    ASSERT_TRUE(fgInit());
    const std::vector<std::uint8_t> announcement{0xA8, 0x30, 1, 2, 3};
    // A second announcement from each device follows the first on every socket that
    // receives it: once all second ones are here, a doubled first one would be too.
    const std::vector<std::uint8_t> closing{0xA8, 0x30, 9};
    for (const CSubnet* subnet : {&kSubnetA, &kSubnetB}) {
        const CSocket sender = sBoundUdp(device(*subnet), subnet->m_device, 0);
        ASSERT_EQ(iSendTo(sender, announcement, CEndpoint{kAnnounceGroupNet, kPortAnnounce}), 5);
        ASSERT_EQ(iSendTo(sender, closing, CEndpoint{kAnnounceGroupNet, kPortAnnounce}), 3);
    }
    const auto items = m_recorder.vecWaitFor(4);
    ASSERT_EQ(items.size(), 4U);
    std::vector<std::uint32_t> senders;
    for (const auto& item : items) {
        EXPECT_TRUE(item.m_isAnnouncement);
        if (item.m_data == announcement) {
            senders.push_back(item.m_from.m_uiAddr);
        } else {
            EXPECT_EQ(item.m_data, closing);
        }
    }
    std::sort(senders.begin(), senders.end());
    std::vector<std::uint32_t> devices{iIp(kSubnetA.m_device), iIp(kSubnetB.m_device)};
    std::sort(devices.begin(), devices.end());
    EXPECT_EQ(senders, devices);
}

// The upgrade listener or the announcement port already in use: each is left out with
// its line, Init succeeds, and search and commands still work.
TEST_F(TwoSubnets, TakenListenerOrAnnouncementPortLeavesTheRestWorking) {
    CSocket takenListener;
    CSocket takenAnnounce;
    vInNetns(station(), [&] {
        takenListener = CSocket::Tcp();
        ASSERT_EQ(iBind(takenListener, sEndpoint(kSubnetA.m_station, kPortUpgrade)), 0);
        ASSERT_EQ(iListen(takenListener, 1), 0);
        takenAnnounce = CSocket::Udp();
        ASSERT_EQ(iBind(takenAnnounce, sEndpoint("0.0.0.0", kPortAnnounce)), 0);
    });
    std::string log;
    {
        CCaptureStderr capture;
        ASSERT_TRUE(fgInit());
        log = capture.text();
    }
    EXPECT_EQ(iCount(log, "=>create nvr socket fail\r\n"), 2U);
    EXPECT_EQ(iCount(log, "=>no upgrade listener: "), 1U);
    EXPECT_EQ(vecPortsOf(kSubnetA), (std::vector<std::uint16_t>{kPortCommand, kPortSearchSrc}));
    EXPECT_EQ(vecPortsOf(kSubnetB),
              (std::vector<std::uint16_t>{kPortUpgrade, kPortCommand, kPortSearchSrc}));

    const CSocket listenA = sBoundUdp(device(kSubnetA), kSubnetA.m_broadcast, kPortSearch);
    const CSocket commandA = sBoundUdp(device(kSubnetA), kSubnetA.m_device, kPortCommand);
    m_transport.vSearchDev();
    ASSERT_TRUE(sRecvOne(listenA).has_value());
    EXPECT_EQ(m_transport.iSendUdpToDev(iIp(kSubnetA.m_device), kSearch), 0);
    ASSERT_TRUE(sRecvOne(commandA).has_value());
    const std::vector<std::uint8_t> reply{0xA8, 0x81};
    ASSERT_EQ(iSendTo(commandA, reply, sEndpoint(kSubnetA.m_station, kPortCommand)), 2);
    EXPECT_EQ(m_recorder.vecWaitFor(1).size(), 1U);
}

// Until the upgrade subsystem takes connections, one to the upgrade listener is accepted
// and closed at once; afterwards the accepted connection is handed over.
TEST_F(TwoSubnets, UpgradeListenerClosesOrHandsOverConnections) {
    ASSERT_TRUE(fgInit());
    CSocket early;
    CSocket late;
    vInNetns(device(kSubnetA), [&] { early = CSocket::Tcp(); });
    vInNetns(device(kSubnetB), [&] { late = CSocket::Tcp(); });

    ASSERT_EQ(iConnect(early, sEndpoint(kSubnetA.m_station, kPortUpgrade)), 0);
    int events = 0;
    ASSERT_EQ(iWaitOne(early, true, false, 2000, events), 1);
    std::uint8_t byte = 0;
    EXPECT_EQ(iRecv(early, std::span(&byte, 1)), 0);  // closed by the station

    std::promise<CEndpoint> acceptedPeer;
    m_transport.vSetUpgradeAcceptHandler(
        [&acceptedPeer](CSocket connection, const CEndpoint& peer) {
            EXPECT_TRUE(connection.fgValid());
            acceptedPeer.set_value(peer);
        });
    ASSERT_EQ(iConnect(late, sEndpoint(kSubnetB.m_station, kPortUpgrade)), 0);
    auto peer = acceptedPeer.get_future();
    ASSERT_EQ(peer.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    EXPECT_EQ(peer.get().m_uiAddr, iIp(kSubnetB.m_device));
}

// UnInit wakes the receive thread out of its one-second wait: the station closes at
// once (a CLI run does not linger a second after its answer).
TEST_F(TwoSubnets, ReceiveThreadStopsAtOnce) {
    // Stretched so that only the wake-up can end the wait in time.
    m_transport.vSetRecvWaitMs(600000);
    ASSERT_TRUE(fgInit());
    const auto start = Clock::now();
    EXPECT_EQ(m_transport.UnInit(), 0);
    EXPECT_LT(iElapsedMs(start), 60000);
    EXPECT_TRUE(m_transport.vecSockTab().empty());
}

}  // namespace
