#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/socket.h"

namespace {

const std::uint32_t kLoopback = iIpv4Net(127, 0, 0, 1);

TEST(SocketText, ParsesOnlyDottedQuads) {
    struct CCase {
        const char* m_pszText;
        bool m_fgValid;
        std::uint32_t m_uiAddr;
    };
    const CCase cases[] = {
        {"192.168.1.50", true, iIpv4Net(192, 168, 1, 50)},
        {"0.0.0.0", true, 0},
        {"255.255.255.255", true, iIpv4Net(255, 255, 255, 255)},
        {"10.0.0.1", true, iIpv4Net(10, 0, 0, 1)},
        {"256.1.1.1", false, 0},
        {"1.2.3", false, 0},
        {"1.2.3.4.5", false, 0},
        {"1.2.3.4 ", false, 0},
        {" 1.2.3.4", false, 0},
        {"1..3.4", false, 0},
        {"01.2.3.4", false, 0},
        {"1.2.3.0x4", false, 0},
        {"1.2.3.-4", false, 0},
        {"1234.2.3.4", false, 0},
        {"", false, 0},
        {"a.b.c.d", false, 0},
    };
    for (const CCase& row : cases) {
        std::uint32_t parsed = 0xDEADBEEFU;
        EXPECT_EQ(fgParseIp(row.m_pszText, parsed), row.m_fgValid) << row.m_pszText;
        if (row.m_fgValid) {
            EXPECT_EQ(parsed, row.m_uiAddr) << row.m_pszText;
            EXPECT_EQ(strIpText(parsed), row.m_pszText);
        } else {
            EXPECT_EQ(parsed, 0xDEADBEEFU) << row.m_pszText << " changed the output";
        }
    }
}

TEST(SocketErrors, NegativeResultsCarryThePortableError) {
    for (int value = 0; value <= static_cast<int>(ESockErr::Other); ++value) {
        const auto error = static_cast<ESockErr>(value);
        EXPECT_EQ(eSockErr(iSockErrRc(error)), error);
        EXPECT_STRNE(pszSockErrText(error), "");
    }
    EXPECT_EQ(eSockErr(0), ESockErr::None);
    EXPECT_EQ(eSockErr(1500), ESockErr::None);
    EXPECT_EQ(eSockErr(-1000), ESockErr::Other);
    EXPECT_TRUE(fgSockRetry(iSockErrRc(ESockErr::WouldBlock)));
    EXPECT_TRUE(fgSockRetry(iSockErrRc(ESockErr::Interrupted)));
    EXPECT_FALSE(fgSockRetry(iSockErrRc(ESockErr::InProgress)));
    EXPECT_FALSE(fgSockRetry(iSockErrRc(ESockErr::Reset)));
    EXPECT_FALSE(fgSockRetry(5));
}

// A UDP socket on a free loopback port.
CSocket sBoundUdp() {
    CSocket socket = CSocket::Udp();
    EXPECT_TRUE(socket.fgValid());
    EXPECT_EQ(iBind(socket, CEndpoint{kLoopback, 0}), 0);
    return socket;
}

bool fgReadable(const CSocket& socket, int waitMs) {
    int events = 0;
    return iWaitOne(socket, true, false, waitMs, events) == 1 && events == kEventReadable;
}

// What every caller of the layer relies on: an empty non-blocking socket says "would
// block" (one value, whatever the system's numbers), a datagram arrives whole, and a
// datagram longer than the buffer is reported as longer.
TEST(SocketLoopback, DatagramsAndWouldBlock) {
    const CSocket receiver = sBoundUdp();
    const CSocket sender = sBoundUdp();
    ASSERT_EQ(iSetNonBlocking(receiver, true), 0);
    const CEndpoint target = sLocalEndpoint(receiver);
    ASSERT_EQ(target.m_uiAddr, kLoopback);
    ASSERT_NE(target.m_usPort, 0);

    std::array<std::uint8_t, 64> buffer{};
    CEndpoint from;
    const int empty = iRecvFrom(receiver, buffer, from);
    EXPECT_EQ(eSockErr(empty), ESockErr::WouldBlock);
    EXPECT_TRUE(fgSockRetry(empty));

    const std::vector<std::uint8_t> small{1, 2, 3, 4, 5};
    ASSERT_EQ(iSendTo(sender, small, target), 5);
    ASSERT_TRUE(fgReadable(receiver, 10000));
    ASSERT_EQ(iRecvFrom(receiver, buffer, from), 5);
    EXPECT_EQ(from, sLocalEndpoint(sender));
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + 5), small);

    const std::vector<std::uint8_t> large(100, 0x5A);
    ASSERT_EQ(iSendTo(sender, large, target), 100);
    ASSERT_TRUE(fgReadable(receiver, 10000));
    std::array<std::uint8_t, 10> tooSmall{};
    EXPECT_GT(iRecvFrom(receiver, tooSmall, from), static_cast<int>(tooSmall.size()));
    EXPECT_EQ(tooSmall[9], 0x5A);
}

TEST(SocketLoopback, WaitReadableNamesTheReadySockets) {
    const CSocket quiet = sBoundUdp();
    const CSocket busy = sBoundUdp();
    const CSocket sender = sBoundUdp();
    const std::vector<SocketHandle> handles{quiet.iHandle(), busy.iHandle()};
    std::vector<SocketHandle> ready;
    EXPECT_EQ(iWaitReadable(handles, 0, ready), 0);
    EXPECT_TRUE(ready.empty());

    const std::vector<std::uint8_t> one{7};
    ASSERT_EQ(iSendTo(sender, one, sLocalEndpoint(busy)), 1);
    ASSERT_EQ(iWaitReadable(handles, 10000, ready), 1);
    EXPECT_EQ(ready, std::vector<SocketHandle>{busy.iHandle()});
}

TEST(SocketLoopback, WakePairWakesAWaitingReader) {
    CSocket reader;
    CSocket writer;
    ASSERT_TRUE(fgMakeWakePair(reader, writer));
    EXPECT_FALSE(fgReadable(reader, 0));
    const std::vector<std::uint8_t> wake{1};
    ASSERT_EQ(iSend(writer, wake), 1);
    EXPECT_TRUE(fgReadable(reader, 10000));
    std::array<std::uint8_t, 4> buffer{};
    EXPECT_EQ(iRecv(reader, buffer), 1);
    // Both ends are non-blocking: an empty reader never holds its thread.
    EXPECT_EQ(eSockErr(iRecv(reader, buffer)), ESockErr::WouldBlock);
}

// A non-blocking connect to a port nobody listens on: under way or refused at once,
// and when under way, the wait ends with the socket's pending error telling why.
TEST(SocketLoopback, RefusedConnectIsReportedPortably) {
    CSocket listenerGone = CSocket::Tcp();
    ASSERT_EQ(iBind(listenerGone, CEndpoint{kLoopback, 0}), 0);
    const CEndpoint closed = sLocalEndpoint(listenerGone);
    listenerGone.vClose();

    const CSocket socket = CSocket::Tcp();
    ASSERT_EQ(iSetNonBlocking(socket, true), 0);
    const int started = iConnect(socket, closed);
    if (eSockErr(started) == ESockErr::InProgress) {
        int events = 0;
        ASSERT_EQ(iWaitOne(socket, false, true, 10000, events), 1);
        EXPECT_EQ(events, kEventWritable);
        EXPECT_EQ(eSocketError(socket), ESockErr::Refused);
    } else {
        EXPECT_EQ(eSockErr(started), ESockErr::Refused);
    }
}

TEST(SocketLoopback, StreamRoundTripAndShutdown) {
    const CSocket listener = CSocket::Tcp();
    ASSERT_EQ(iBind(listener, CEndpoint{kLoopback, 0}), 0);
    ASSERT_EQ(iListen(listener, 4), 0);
    const CSocket client = CSocket::Tcp();
    ASSERT_EQ(iConnect(client, sLocalEndpoint(listener)), 0);
    CEndpoint peer;
    const CSocket accepted = sAccept(listener, &peer);
    ASSERT_TRUE(accepted.fgValid());
    EXPECT_EQ(peer, sLocalEndpoint(client));

    const std::vector<std::uint8_t> hello{'h', 'i'};
    ASSERT_EQ(iSend(client, hello), 2);
    std::array<std::uint8_t, 8> buffer{};
    ASSERT_EQ(iRecv(accepted, buffer), 2);
    ASSERT_EQ(iShutdown(client), 0);
    EXPECT_EQ(iRecv(accepted, buffer), 0);
}

// Several receivers of one group share its port, as the station's announcement
// sockets (one per interface) do.
TEST(SocketLoopback, MulticastReceiversShareThePort) {
    const std::uint32_t group = iIpv4Net(239, 255, 42, 99);
    const CSocket first = CSocket::Udp();
    ASSERT_EQ(iBindMulticastReceiver(first, group, 0), 0);
    const std::uint16_t port = sLocalEndpoint(first).m_usPort;
    ASSERT_NE(port, 0);
    const CSocket second = CSocket::Udp();
    EXPECT_EQ(iBindMulticastReceiver(second, group, port), 0);
}

}  // namespace
