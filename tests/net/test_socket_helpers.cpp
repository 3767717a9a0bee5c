#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "lan_test_util.h"
#include "net/socket_helpers.h"
#include "support/capture_stderr.h"

// The fixed ports are used inside a namespace of each test's own.

namespace {

class SocketHelpers : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fgCanUseNetns()) {
            GTEST_SKIP() << strNetnsSkipReason();
        }
        m_ns.emplace("kt-sh");
    }
    const CNetns& ns() const { return *m_ns; }

  private:
    std::optional<CNetns> m_ns;
};

TEST_F(SocketHelpers, CreatorsBindTheirPortAndSayWhyWhenItIsTaken) {
    vInNetns(ns(), [] {
        const std::uint32_t loopback = iIp("127.0.0.1");
        struct CRow {
            const char* m_pszKind;
            std::uint16_t m_usPort;
            std::function<CResult<CSocket>()> m_create;
        };
        const std::vector<CRow> rows{
            {"UDP", kPortCommand,
             [&] { return sCreateUdpSocketWithBindPortAddr(kPortCommand, loopback); }},
            {"UDP", kPortSearchSrc,
             [&] { return sCreateBroadcastSocketWithBindPortAddr(loopback); }},
            {"TCP", kPortUpgrade, [&] { return sCreateTcpListenSocket(loopback); }},
        };
        for (const CRow& row : rows) {
            const std::string where =
                std::string(row.m_pszKind) + " 127.0.0.1:" + std::to_string(row.m_usPort);
            CResult<CSocket> first = row.m_create();
            ASSERT_TRUE(first) << where;
            EXPECT_EQ(sLocalEndpoint(*first), (CEndpoint{loopback, row.m_usPort}));
            // Standard output belongs to the command-line station's results: a taken
            // port is said in the result and the diagnostic line only.
            CCaptureStdout out;
            const CResult<CSocket> again = row.m_create();
            EXPECT_EQ(out.text(), "");
            ASSERT_FALSE(again) << where;
            EXPECT_EQ(again.error().m_strReason, where + ": " + std::strerror(EADDRINUSE));
            EXPECT_EQ(again.error().m_iErrno, EADDRINUSE);
        }
    });
}

TEST_F(SocketHelpers, MulticastGroupResults) {
    vInNetns(ns(), [] {
        const CSocket udp = CSocket::Udp();
        EXPECT_EQ(iAddMulticastGroup(CSocket()), -1);
        EXPECT_EQ(iAddMulticastGroup(udp, 0, iIp("10.0.0.1")), -2);
        EXPECT_EQ(iAddMulticastGroup(udp, 0, iIp("224.0.0.251")), -2);
        EXPECT_EQ(iAddMulticastGroup(udp, 0, iIp("240.0.0.1")), -2);
        // No interface of the namespace can carry the group to that address.
        EXPECT_EQ(iAddMulticastGroup(udp, iIp("10.9.9.9")), -3);
        EXPECT_EQ(iAddMulticastGroup(udp, iIp("127.0.0.1")), 0);
        EXPECT_EQ(iAddMulticastGroup(udp, iIp("127.0.0.1")), 0);  // joining again is fine
    });
}

TEST_F(SocketHelpers, ConnectSucceedsOrIsRefused) {
    vInNetns(ns(), [] {
        const std::uint32_t loopback = iIp("127.0.0.1");
        const CSocket refused = CSocket::Tcp();
        EXPECT_EQ(iSocketTcpConnect2(refused, loopback), -1);

        CSocket listener = CSocket::Tcp();
        ASSERT_EQ(iBind(listener, CEndpoint{loopback, kPortStream}), 0);
        ASSERT_EQ(iListen(listener, 4), 0);
        const CSocket client = CSocket::Tcp();
        EXPECT_EQ(iSocketTcpConnect2(client, loopback), 0);

        CSocket accepted;
        CEndpoint peer;
        EXPECT_EQ(iSELECT_Accept(accepted, listener, &peer), 1);
        ASSERT_TRUE(accepted.fgValid());
        EXPECT_EQ(peer.m_uiAddr, loopback);

        // Data and then the close of the accepted side reach the connected socket.
        const std::uint8_t hello[] = {'h', 'i', '!'};
        ASSERT_EQ(iSend(accepted, hello), 3);
        std::uint8_t buffer[16] = {};
        EXPECT_EQ(iSELECT_Read(buffer, client), 3);
        EXPECT_EQ(buffer[2], '!');
        accepted.vClose();
        EXPECT_EQ(iSELECT_Read(buffer, client), 0);  // the peer's close
    });
}

// A SYN to an address on the veth subnet that nobody answers (its ARP request goes
// unanswered) is given up after about 500 ms; a second attempt while the first is
// still under way gives the "already" result.
TEST_F(SocketHelpers, ConnectToSilentAddressTimesOut) {
    CNetns peer("kt-shp");
    vVethPair(ns(), "10.200.9.1/24", peer, "10.200.9.2/24");
    vInNetns(ns(), [] {
        const CSocket socket = CSocket::Tcp();
        const auto start = Clock::now();
        EXPECT_EQ(iSocketTcpConnect2(socket, iIp("10.200.9.77")), -2);
        const long elapsedMs = iElapsedMs(start);
        EXPECT_GE(elapsedMs, kConnectWaitMs - 20);
        EXPECT_LT(elapsedMs, kConnectWaitMs + 30000) << "it gives up, never hangs";
        EXPECT_EQ(iSocketTcpConnect2(socket, iIp("10.200.9.77")), kConnectAlready);
    });
}

TEST_F(SocketHelpers, SelectHelpersRejectInvalidSocketsAndTimeOut) {
    vInNetns(ns(), [] {
        std::uint8_t buffer[4] = {};
        CSocket accepted;
        {
            CCaptureStderr capture;
            EXPECT_EQ(iSELECT_Read(buffer, CSocket()), -1);
            EXPECT_EQ(iSELECT_Accept(accepted, CSocket()), -1);
            const std::string log = capture.text();
            EXPECT_NE(log.find("camkit:iSELECT_Read"), std::string::npos);
            EXPECT_NE(log.find("camkit:iSELECT_Accept"), std::string::npos);
        }
        CResult<CSocket> listening = sCreateTcpListenSocket(iIp("127.0.0.1"));
        ASSERT_TRUE(listening);
        const CSocket listener = std::move(*listening);
        const auto start = Clock::now();
        EXPECT_EQ(iSELECT_Accept(accepted, listener), 0);
        EXPECT_GE(iElapsedMs(start), kSelectWaitMs - 20);
        EXPECT_FALSE(accepted.fgValid());
    });
}

}  // namespace
