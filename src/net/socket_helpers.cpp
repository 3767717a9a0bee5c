#include "net/socket_helpers.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "app/dbg_print.h"
#include "app/log.h"

namespace {

constexpr int kListenBacklog = 60;

// Lowest and highest group the announcement membership accepts (host byte order):
// 224.0.0.x is link-local control traffic and is left alone.
constexpr std::uint32_t kGroupFirstHost = 0xE0000100U;  // 224.0.1.0
constexpr std::uint32_t kGroupLastHost = 0xEFFFFFFFU;   // 239.255.255.255

// The reason a step on addrNet:port failed, from its negative system error.
CError sSocketFault(const char* what, std::uint32_t addrNet, std::uint16_t port, int negErr) {
    return sError(std::string(what) + " " + strIpText(addrNet) + ":" + std::to_string(port) + ": " +
                      std::strerror(-negErr),
                  -negErr);
}

// A new socket bound to addrNet:port, or why not.
CResult<CSocket> sBoundSocket(CSocket socket, const char* kind, std::uint32_t addrNet,
                              std::uint16_t port) {
    if (!socket.fgValid()) {
        const CError fault = sSocketFault(kind, addrNet, port, -errno);
        KLOG_ERR("no socket: %s", fault.m_strReason.c_str());
        return fault;
    }
    if (const int bound = iBind(socket, CEndpoint{addrNet, port}); bound != 0) {
        const CError fault = sSocketFault(kind, addrNet, port, bound);
        KLOG_ERR("bind error: %s", fault.m_strReason.c_str());
        return fault;
    }
    return socket;
}

}  // namespace

CResult<CSocket> sCreateBroadcastSocketWithBindPortAddr(std::uint32_t addrNet) {
    CResult<CSocket> socket = sBoundSocket(CSocket::Udp(), "UDP", addrNet, kPortSearchSrc);
    if (socket && iSetBroadcast(*socket, true) != 0) {
        KLOG_ERR("set bro pro err");
    }
    return socket;
}

CResult<CSocket> sCreateUdpSocketWithBindPortAddr(std::uint16_t port, std::uint32_t addrNet) {
    return sBoundSocket(CSocket::Udp(), "UDP", addrNet, port);
}

CResult<CSocket> sCreateTcpListenSocket(std::uint32_t addrNet) {
    CSocket socket = CSocket::Tcp();
    // Lets a restarted station listen again while connections of the previous run
    // linger; two listeners on one port are still refused.
    if (socket.fgValid()) {
        (void)iSetReuseAddr(socket, true);
    }
    CResult<CSocket> bound = sBoundSocket(std::move(socket), "TCP", addrNet, kPortUpgrade);
    if (!bound) {
        return bound;
    }
    if (const int listening = iListen(*bound, kListenBacklog); listening != 0) {
        const CError fault = sSocketFault("TCP listen", addrNet, kPortUpgrade, listening);
        KLOG_ERR("listen error: %s", fault.m_strReason.c_str());
        return fault;
    }
    return bound;
}

int iAddMulticastGroup(const CSocket& socket, std::uint32_t interfaceNet, std::uint32_t groupNet) {
    if (!socket.fgValid()) {
        KLOG_ERR("parameters is error");
        return -1;
    }
    const std::uint32_t groupHost = iHostFromNet(groupNet);
    if (groupHost < kGroupFirstHost || groupHost > kGroupLastHost) {
        KLOG_ERR("address %s not multicast address", strIpText(groupNet).c_str());
        return -2;
    }
    (void)iLeaveMulticast(socket, groupNet, interfaceNet);
    if (const int joined = iJoinMulticast(socket, groupNet, interfaceNet); joined != 0) {
        KLOG_ERR("add multicast error: %s", std::strerror(-joined));
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
    if (started != -EINPROGRESS) {
        vDbgPrint("camkit:%s, %d=>err:%d\r\n", "iSocketTcpConnect2", __LINE__, -started);
        if (started == -EALREADY) {
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
    const int pending = iSocketError(socket);
    if ((events & kEventWritable) == 0 || pending != 0) {
        vDbgPrint("camkit:%s, %d=>other error when select:%s\n\r\n", "iSocketTcpConnect2", __LINE__,
                  std::strerror(pending));
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
                  std::strerror(errno));
        return -1;
    }
    accepted = std::move(socket);
    return 1;
}
