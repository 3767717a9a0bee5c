#include "net/socket_helpers.h"

#include <cstdio>
#include <utility>

#include "app/dbg_print.h"

namespace {

constexpr int kListenBacklog = 60;

// Lowest and highest group the announcement membership accepts (host byte order):
// 224.0.0.x is link-local control traffic and is left alone.
constexpr std::uint32_t kGroupFirstHost = 0xE0000100U;  // 224.0.1.0
constexpr std::uint32_t kGroupLastHost = 0xEFFFFFFFU;   // 239.255.255.255

}  // namespace

int iCreateBroadcastSocketWithBindPortAddr(std::uint32_t addrNet, CSocket& created) {
    CSocket socket = CSocket::Udp();
    if (!socket.fgValid()) {
        std::printf("Create UDP Socket failed\n");
        return -1;
    }
    if (iBind(socket, CEndpoint{addrNet, kPortSearchSrc}) != 0) {
        vDbgPrint("camkit:%s, %d=>bind error !port:%d,ip:%s\r\n",
                  "iCreateBroadcastSocketWithBindPortAddr", __LINE__, kPortSearchSrc,
                  strIpText(addrNet).c_str());
        return -1;
    }
    if (iSetBroadcast(socket, true) != 0) {
        vDbgPrint("camkit:%s, %d=>set bro pro err\r\n", "iCreateBroadcastSocketWithBindPortAddr",
                  __LINE__);
    }
    created = std::move(socket);
    return 0;
}

int iCreateUdpSocketWithBindPortAddr(std::uint16_t port, std::uint32_t addrNet, CSocket& created) {
    CSocket socket = CSocket::Udp();
    if (!socket.fgValid()) {
        std::printf("Create UDP Socket failed\n");
        return -1;
    }
    if (iBind(socket, CEndpoint{addrNet, port}) != 0) {
        std::printf("bind error !\n");
        return -1;
    }
    created = std::move(socket);
    return 0;
}

int iCreateTcpListenSocket(CSocket& entry, std::uint32_t addrNet) {
    CSocket socket = CSocket::Tcp();
    if (!socket.fgValid()) {
        std::printf("socket error !\n");
        std::printf("create tcp socfd fail,ret=%lld\r\n", socket.iLogId());
        return -1;
    }
    // Lets a restarted station listen again while connections of the previous run
    // linger; two listeners on one port are still refused.
    (void)iSetReuseAddr(socket, true);
    if (iBind(socket, CEndpoint{addrNet, kPortUpgrade}) != 0) {
        std::printf("bind error !\n");
        return -1;
    }
    if (iListen(socket, kListenBacklog) != 0) {
        std::printf("listen error !\n");
        return -1;
    }
    entry = std::move(socket);
    return 0;
}

int iAddMulticastGroup(const CSocket& socket, std::uint32_t interfaceNet, std::uint32_t groupNet) {
    if (!socket.fgValid()) {
        std::printf("parameters is error\n");
        return -1;
    }
    const std::uint32_t groupHost = iHostFromNet(groupNet);
    if (groupHost < kGroupFirstHost || groupHost > kGroupLastHost) {
        std::printf("address %s not multicast address\n", strIpText(groupNet).c_str());
        return -2;
    }
    (void)iLeaveMulticast(socket, groupNet, interfaceNet);
    if (iJoinMulticast(socket, groupNet, interfaceNet) != 0) {
        std::printf("add multicast error\n");
        return -3;
    }
    return 0;
}

int iSocketTcpConnect2(const CSocket& socket, std::uint32_t addrNet, std::uint16_t port) {
    (void)iSetNonBlocking(socket, true);
    const int started = iConnect(socket, CEndpoint{addrNet, port});
    if (started == 0) {
        (void)iSetNonBlocking(socket, false);
        return 0;
    }
    if (eSockErr(started) != ESockErr::InProgress) {
        vDbgPrint("camkit:%s, %d=>err:%s\r\n", "iSocketTcpConnect2", __LINE__,
                  pszSockErrText(eSockErr(started)));
        if (eSockErr(started) == ESockErr::AlreadyConnecting) {
            vDbgPrint("camkit:%s, %d=>already connect ok last time\r\n", "iSocketTcpConnect2",
                      __LINE__);
            return kConnectAlready;
        }
        return -1;
    }
    int events = 0;
    const int count = iWaitOne(socket, true, true, kConnectWaitMs, events);
    if (count < 0) {
        vDbgPrint("camkit:%s, %d=>network error in connect\n\r\n", "iSocketTcpConnect2", __LINE__);
        return -1;
    }
    if (count == 0) {
        return -2;
    }
    if (count != 1) {
        return -1;
    }
    // A failed connect may also show as writable; its pending error tells.
    const ESockErr pending = eSocketError(socket);
    if ((events & kEventWritable) == 0 || pending != ESockErr::None) {
        vDbgPrint("camkit:%s, %d=>other error when select:%s\n\r\n", "iSocketTcpConnect2", __LINE__,
                  pszSockErrText(pending));
        return -1;
    }
    (void)iSetNonBlocking(socket, false);
    return 0;
}

int iSELECT_Read(std::span<std::uint8_t> buffer, const CSocket& socket) {
    if (!socket.fgValid()) {
        vDbgPrint("camkit:%s, %d=>err\r\n", "iSELECT_Read", __LINE__);
        return -1;
    }
    int events = 0;
    const int count = iWaitOne(socket, true, false, kSelectWaitMs, events);
    if (count <= 0) {
        return count;
    }
    return iRecv(socket, buffer);
}

int iSELECT_Accept(CSocket& accepted, const CSocket& listener, CEndpoint* peer) {
    if (!listener.fgValid()) {
        vDbgPrint("camkit:%s, %d=>err\r\n", "iSELECT_Accept", __LINE__);
        return -1;
    }
    int events = 0;
    const int count = iWaitOne(listener, true, false, kSelectWaitMs, events);
    if (count <= 0) {
        return count;
    }
    CSocket socket = sAccept(listener, peer);
    if (!socket.fgValid()) {
        vDbgPrint("camkit:err:%s, %d=>accept fail:%s\r\n", "iSELECT_Accept", __LINE__,
                  pszSockErrText(eLastSockErr()));
        return -1;
    }
    accepted = std::move(socket);
    return 1;
}
