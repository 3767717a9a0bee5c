#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lan_test_util.h"
#include "net/fd_attr_info.h"
#include "support/capture_stderr.h"

// These sockets use ports the system picks on 127.0.0.1, so the tests need no
// namespace and never collide with each other.

namespace {

CSocket sLoopbackUdp() {
    CSocket socket = CSocket::Udp();
    EXPECT_EQ(iBind(socket, sEndpoint("127.0.0.1", 0)), 0);
    return socket;
}

void vSendTo(const CSocket& target, std::size_t bytes) {
    const CSocket sender = sLoopbackUdp();
    const std::vector<std::uint8_t> data(bytes, 0x5A);
    ASSERT_EQ(iSendTo(sender, data, sLocalEndpoint(target)), static_cast<int>(bytes));
}

// A read callback that drains one datagram, notes its name and returns result.
CFdAttrInfo::ReadCallback sReader(std::vector<std::string>& calls, const std::string& name,
                                  int result) {
    return [&calls, name, result](std::span<std::uint8_t> buffer, const CSocket& socket) {
        CEndpoint from;
        (void)iRecvFrom(socket, buffer, from);
        calls.push_back(name + ":" + std::to_string(buffer.size()));
        return result;
    };
}

TEST(FdAttrInfo, EmptySetReturnsAtOnceWithItsLine) {
    CFdAttrInfo set;
    CCaptureStderr capture;
    EXPECT_EQ(set.iRead(), -1);
    EXPECT_NE(capture.text().find("CFdAttrInfo::iRead"), std::string::npos);
}

// Ready members are served in registration order with the 3072-byte buffer, the accept
// callback before the read callback; a failing callback is logged and stays registered.
TEST(FdAttrInfo, ServesReadyMembersInOrderAndKeepsFailingOnes) {
    const CSocket first = sLoopbackUdp();
    const CSocket second = sLoopbackUdp();
    const CSocket idle = sLoopbackUdp();
    std::vector<std::string> calls;
    CFdAttrInfo set;
    set.vAdd(first, {}, sReader(calls, "first", -1));
    set.vAdd(
        second,
        [&calls](const CSocket&) {
            calls.emplace_back("accept");
            return 0;
        },
        sReader(calls, "second", 0));
    set.vAdd(idle, {}, sReader(calls, "idle", 0));

    vSendTo(second, 10);
    vSendTo(first, 10);
    std::string log;
    {
        CCaptureStderr capture;
        EXPECT_EQ(set.iRead(), 2);
        log = capture.text();
    }
    EXPECT_EQ(calls, (std::vector<std::string>{"first:3072", "accept", "second:3072"}));
    EXPECT_NE(log.find("delete node"), std::string::npos);

    calls.clear();
    vSendTo(first, 10);
    EXPECT_EQ(set.iRead(), 1);
    EXPECT_EQ(calls, (std::vector<std::string>{"first:3072"}));
    EXPECT_EQ(set.iMemberCount(), 3U);
}

// A socket registered twice is waited on once but served for each registration; the
// 65th distinct socket is never waited on.
TEST(FdAttrInfo, WaitsOnAtMost64DistinctSockets) {
    std::vector<CSocket> sockets;
    for (std::size_t i = 0; i <= CFdAttrInfo::kMaxWaited; ++i) {
        sockets.push_back(sLoopbackUdp());
    }
    std::vector<std::string> calls;
    CFdAttrInfo set;
    set.vAdd(sockets[0], {}, sReader(calls, "again", 0));
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        set.vAdd(sockets[i], {}, sReader(calls, std::to_string(i), 0));
    }

    vSendTo(sockets.back(), 4);
    EXPECT_EQ(set.iRead(), 0);
    EXPECT_TRUE(calls.empty());

    vSendTo(sockets[0], 4);
    vSendTo(sockets[0], 4);
    EXPECT_EQ(set.iRead(), 1);
    EXPECT_EQ(calls, (std::vector<std::string>{"again:3072", "0:3072"}));
}

}  // namespace
