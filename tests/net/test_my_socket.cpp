#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "lan_test_util.h"
#include "net/my_socket.h"
#include "support/capture_stderr.h"

namespace {

int iNoRead(std::span<std::uint8_t>, const CSocket&) {
    return 0;
}

// Table entries made by hand: unbound sockets with chosen interface details.
class SockTab : public ::testing::Test {
  protected:
    SocketHandle iAdd(const std::string& addr, const std::string& mask, std::uint16_t port) {
        CSocket socket = CSocket::Udp();
        const SocketHandle handle = socket.iHandle();
        EXPECT_EQ(m_transport.iAddRecvTab(std::move(socket), iNoRead, iIp(addr), iIp(mask), port),
                  0);
        return handle;
    }
    CMySocket m_transport;
};

// Two interfaces; the lookup picks the interface whose subnet holds the device.
TEST_F(SockTab, PicksTheSocketOnTheDevicesSubnet) {
    const SocketHandle commandA = iAdd("192.168.1.10", "255.255.255.0", kPortCommand);
    iAdd("192.168.1.10", "255.255.255.0", kPortSearchSrc);
    const SocketHandle commandB = iAdd("10.0.0.5", "255.0.0.0", kPortCommand);
    iAdd("10.0.0.5", "255.0.0.0", kPortSearchSrc);

    struct CCase {
        std::string m_device;
        SocketHandle m_socket;
        std::string m_broadcast;
    };
    for (const CCase& row : {CCase{"192.168.1.77", commandA, "192.168.1.255"},
                             CCase{"192.168.1.10", commandA, "192.168.1.255"},
                             CCase{"10.200.3.4", commandB, "10.255.255.255"}}) {
        std::uint32_t broadcast = 0;
        EXPECT_EQ(m_transport.iGetSockfd(iIp(row.m_device), &broadcast), row.m_socket)
            << row.m_device;
        EXPECT_EQ(broadcast, iIp(row.m_broadcast)) << row.m_device;
    }
    EXPECT_EQ(m_transport.vecSockTab().size(), 4U);
}

// The command socket is chosen even when the system gave the search socket the
// lower handle, since the device answers to the port the command came from.
TEST_F(SockTab, PrefersTheCommandSocketWhateverTheHandleOrder) {
    const SocketHandle search = iAdd("192.168.1.10", "255.255.255.0", kPortSearchSrc);
    const SocketHandle command = iAdd("192.168.1.10", "255.255.255.0", kPortCommand);
    ASSERT_LT(search, command);
    EXPECT_EQ(m_transport.iGetSockfd(iIp("192.168.1.20")), command);
}

TEST_F(SockTab, MaskZeroBroadcastsToAllOnesAndHoldsEveryAddress) {
    const SocketHandle command = iAdd("10.0.0.5", "0.0.0.0", kPortCommand);
    std::uint32_t broadcast = 0;
    EXPECT_EQ(m_transport.iGetSockfd(iIp("172.20.1.1"), &broadcast), command);
    EXPECT_EQ(broadcast, iIp("255.255.255.255"));
    EXPECT_EQ(m_transport.vecSockTab().front().m_uiBroadcast, iIp("255.255.255.255"));
}

TEST_F(SockTab, DeviceOnNoLocalSubnetSendsNothing) {
    iAdd("192.168.1.10", "255.255.255.0", kPortCommand);
    const std::vector<std::uint8_t> command(16, 0);
    CCaptureStderr capture;
    EXPECT_EQ(m_transport.iGetSockfd(iIp("172.16.0.1")), -1);
    EXPECT_EQ(m_transport.iSendUdpToDev(iIp("172.16.0.1"), command), -2);
    EXPECT_FALSE(m_transport.fgSendUdpByIpStr("172.16.0.1", kPortSearch, command, true));
    EXPECT_FALSE(m_transport.fgSendUdpByIpStr("not an address", kPortSearch, command, false));
    const std::string log = capture.text();
    EXPECT_EQ(iCount(log, "camkit:err:CMySocket::iGetSockfd"), 3U);
    EXPECT_EQ(iCount(log, "err sockfd info,ip:172.16.0.1\r\n"), 3U);
    EXPECT_EQ(iCount(log, "send cmd to dev 172.16.0.1 fail, len=16,"), 1U);
}

TEST_F(SockTab, ReleaseEmptiesTheTable) {
    iAdd("192.168.1.10", "255.255.255.0", kPortCommand);
    EXPECT_EQ(m_transport.iAddRecvTab(CSocket(), iNoRead, 0, 0, kPortCommand), -1);
    EXPECT_EQ(m_transport.iReleaseRecvTab(), 0);
    EXPECT_TRUE(m_transport.vecSockTab().empty());
    EXPECT_EQ(m_transport.iGetSockfd(iIp("192.168.1.20")), -1);
}

// With no interface the thread still runs without spinning, and UnInit ends it at
// once: with a wait stretched to ten minutes, only the wake-up can end it.
TEST(MySocket, NoInterfaceDoesNotSpinAndStopsPromptly) {
    CRecorder recorder;
    CMySocket transport;
    std::string log;
    long stopMs = 0;
    {
        CCaptureStderr capture;
        transport.vSetRecvWaitMs(600000);
        ASSERT_TRUE(transport.Init(recorder, std::vector<CInterfaceAddr>{}));
        // Long enough for a spinning thread to show thousands of cycles.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const auto start = Clock::now();
        transport.UnInit();
        stopMs = iElapsedMs(start);
        log = capture.text();
    }
    // Without interfaces the thread waits on its wake-up socket alone: no busy cycles.
    EXPECT_LE(iCount(log, "=>no fd"), 3U);
    EXPECT_LT(stopMs, 60000) << "the wake-up, not the time-out, ended the wait";
    EXPECT_NE(log.find("recv bro info exit"), std::string::npos);
}

class MySocketNs : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fgCanUseNetns()) {
            GTEST_SKIP() << strNetnsSkipReason();
        }
        m_ns.emplace("kt-ms");
    }
    const CNetns& ns() const { return *m_ns; }

  private:
    std::optional<CNetns> m_ns;
};

// A command or search port taken on the second interface fails Init at that step,
// and nothing opened before it stays open.
TEST_F(MySocketNs, TakenCommandOrSearchPortFailsInit) {
    ns().vIp("addr add 10.200.5.1/24 dev lo");
    ns().vIp("addr add 10.200.6.1/24 dev lo");
    const std::vector<CInterfaceAddr> interfaces{*sParseBindAddr("10.200.5.1/24"),
                                                 *sParseBindAddr("10.200.6.1/24")};
    struct CCase {
        std::uint16_t m_takenPort;
        EInitStep m_step;
    };
    for (const CCase& row : {CCase{kPortCommand, EInitStep::CommandSocket},
                             CCase{kPortSearchSrc, EInitStep::SearchSocket}}) {
        const CSocket taken = sBoundUdp(ns(), "10.200.6.1", row.m_takenPort);
        CRecorder recorder;
        CMySocket transport;
        bool initialised = true;
        std::string log;
        vInNetns(ns(), [&] {
            CCaptureStderr capture;
            initialised = transport.Init(recorder, interfaces);
            log = capture.text();
        });
        EXPECT_FALSE(initialised);
        EXPECT_EQ(transport.sInitFault(), (CInitFault{row.m_step, iIp("10.200.6.1"), ""}));
        // The reason names the socket and what the system said, for the operator.
        EXPECT_EQ(
            transport.sInitFault()->m_strReason,
            "UDP 10.200.6.1:" + std::to_string(row.m_takenPort) + ": " + std::strerror(EADDRINUSE));
        EXPECT_NE(log.find("camkit:err:net:CMySocket::fgOpenInterface, "), std::string::npos);
        EXPECT_NE(log.find("=>create socket fail\r\n"), std::string::npos);

        EXPECT_TRUE(transport.vecSockTab().empty());
        // The first interface's command port is free again.
        const CSocket again = sBoundUdp(ns(), "10.200.5.1", kPortCommand);
        EXPECT_TRUE(again.fgValid());
    }
}

// On loopback alone: the search reaches a device bound to 127.255.255.255:24218, its
// answer to the search socket reaches the receiver, and a second Init is refused.
TEST_F(MySocketNs, LoopbackSearchAndReply) {
    const CSocket device = sBoundUdp(ns(), "127.255.255.255", kPortSearch);
    const CSocket deviceReply = sBoundUdp(ns(), "127.0.0.2", kPortSearch);
    CRecorder recorder;
    CMySocket transport;
    vInNetns(ns(), [&] {
        ASSERT_TRUE(transport.Init(recorder, std::vector{*sParseBindAddr("127.0.0.1/8")}));
    });
    EXPECT_FALSE(transport.Init(recorder, std::vector<CInterfaceAddr>{}));
    EXPECT_EQ(transport.sInitFault()->m_eStep, EInitStep::AlreadyRunning);

    transport.vSearchDev();
    const auto search = sRecvOne(device);
    ASSERT_TRUE(search.has_value());
    EXPECT_EQ(search->m_data, std::vector<std::uint8_t>(CMySocket::kSearchDatagram.begin(),
                                                        CMySocket::kSearchDatagram.end()));
    EXPECT_EQ(search->m_from, sEndpoint("127.0.0.1", kPortSearchSrc));

    const std::vector<std::uint8_t> reply(240, 0x42);
    ASSERT_EQ(iSendTo(deviceReply, reply, search->m_from), 240);
    const auto items = recorder.vecWaitFor(1);
    ASSERT_EQ(items.size(), 1U);
    EXPECT_FALSE(items[0].m_isAnnouncement);
    EXPECT_EQ(items[0].m_data, reply);
    EXPECT_EQ(items[0].m_from, sEndpoint("127.0.0.2", kPortSearch));
}

}  // namespace
