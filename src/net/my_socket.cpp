#include "net/my_socket.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <utility>

#include "app/dbg_print.h"
#include "app/local_ip.h"
#include "app/log.h"
#include "net/socket_helpers.h"

namespace {

std::vector<CInterfaceAddr> vecLocalInterfaces() {
    std::array<std::uint32_t, kLocalIpMax> addresses{};
    std::array<std::uint32_t, kLocalIpMax> masks{};
    const int count = iGetLocalIpTab(addresses.data(), masks.data());
    if (count < 0) {
        vDbgPrint("camkit:err:%s, %d=>no local ip table, ret=%d\r\n", "CMySocket::Init", __LINE__,
                  count);
        return {};
    }
    std::vector<CInterfaceAddr> interfaces;
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
        interfaces.push_back(CInterfaceAddr{addresses[i], masks[i]});
    }
    return interfaces;
}

// The announcement socket of one interface. A socket bound to a unicast address is
// never handed multicast datagrams here, so each interface's socket is bound to the
// group itself (shared with the other interfaces' sockets) and takes only the
// datagrams of the membership it joins on its own interface.
int iCreateAnnounceSocket(CSocket& created) {
    CSocket socket = CSocket::Udp();
    if (!socket.fgValid()) {
        return -1;
    }
    (void)iSetReuseAddr(socket, true);
    const int bound = iBind(socket, CEndpoint{kAnnounceGroupNet, kPortAnnounce});
    if (bound != 0) {
        vDbgPrint("camkit:err:%s, %d=>bind port %d fail:%s\r\n", "CMySocket::Init", __LINE__,
                  kPortAnnounce, std::strerror(-bound));
        return -1;
    }
    (void)iSetMulticastAll(socket, false);
    created = std::move(socket);
    return created.iHandle();
}

}  // namespace

CMySocket::~CMySocket() {
    UnInit();
}

bool CMySocket::Init(ILanReceiver& receiver,
                     std::optional<std::vector<CInterfaceAddr>> interfaces) {
    if (m_recvThread.fgRunning()) {
        vDbgPrint("camkit:err:%s, %d=>already running\r\n", "CMySocket::Init", __LINE__);
        m_initFault = CInitFault{EInitStep::AlreadyRunning, 0, "already running"};
        return false;
    }
    m_pReceiver = &receiver;
    m_initFault.reset();

    std::vector<CInterfaceAddr> wanted =
        interfaces.has_value() ? std::move(*interfaces) : vecLocalInterfaces();
    if (wanted.size() > kMaxInterfaces) {
        vDbgPrint("camkit:err:%s, %d=>%zu interfaces, only the first %zu used\r\n",
                  "CMySocket::Init", __LINE__, wanted.size(), kMaxInterfaces);
        wanted.resize(kMaxInterfaces);
    }
    for (const CInterfaceAddr& iface : wanted) {
        if (!fgOpenInterface(iface)) {
            // All or nothing: no half-opened interface is left behind.
            m_fdAttrInfo.vClear();
            iReleaseRecvTab();
            return false;
        }
    }

    if (fgMakeWakePair(m_wakeReader, m_wakeWriter)) {
        m_fdAttrInfo.vAdd(m_wakeReader, {},
                          [](std::span<std::uint8_t> buffer, const CSocket& socket) {
                              return iRecv(socket, buffer);
                          });
    }

    if (const auto started =
            m_recvThread.sStart("lan-recv", [this](std::stop_token stop) { BroRecv(stop); });
        !started) {
        m_initFault = CInitFault{EInitStep::ReceiveThread, 0, started.error().m_strReason};
        m_fdAttrInfo.vClear();
        m_wakeReader.vClose();
        m_wakeWriter.vClose();
        iReleaseRecvTab();
        return false;
    }
    return true;
}

bool CMySocket::fgOpenInterface(const CInterfaceAddr& iface) {
    const std::uint32_t addr = iface.m_uiAddr;
    const std::uint32_t mask = iface.m_uiMask;
    vDbgPrint("camkit:%s, %d=>ip:%s\r\n", "CMySocket::Init", __LINE__, strIpText(addr).c_str());
    vDbgPrint("camkit:%s, %d=>mast:%s\r\n", "CMySocket::Init", __LINE__, strIpText(mask).c_str());

    const auto replyReader = [this](std::span<std::uint8_t> buffer, const CSocket& socket) {
        return iReadDatagram(buffer, socket, EDatagramKind::Reply);
    };

    CResult<CSocket> commandSocket = sCreateUdpSocketWithBindPortAddr(kPortCommand, addr);
    if (!commandSocket) {
        KLOG_ERR("create socket fail");
        m_initFault = CInitFault{EInitStep::CommandSocket, addr, commandSocket.error().m_strReason};
        return false;
    }
    CSocket command = std::move(*commandSocket);
    // Requests flagged for the subnet broadcast address leave from this socket too;
    // without the option the system refuses them.
    if (iSetBroadcast(command, true) != 0) {
        vDbgPrint("camkit:%s, %d=>set bro pro err\r\n", "CMySocket::Init", __LINE__);
    }
    vRaiseRecvBuffer(command, kPortCommand);
    iAddRecvTab(std::move(command), replyReader, addr, mask, kPortCommand);

    CResult<CSocket> searchSocket = sCreateBroadcastSocketWithBindPortAddr(addr);
    if (!searchSocket) {
        KLOG_ERR("create socket fail");
        m_initFault = CInitFault{EInitStep::SearchSocket, addr, searchSocket.error().m_strReason};
        return false;
    }
    CSocket search = std::move(*searchSocket);
    vRaiseRecvBuffer(search, kPortSearchSrc);
    iAddRecvTab(std::move(search), replyReader, addr, mask, kPortSearchSrc);

    CSocket announce;
    if (iCreateAnnounceSocket(announce) < 0) {
        vDbgPrint("camkit:%s, %d=>create nvr socket fail\r\n", "CMySocket::Init", __LINE__);
    } else {
        (void)iAddMulticastGroup(announce, addr);
        vRaiseRecvBuffer(announce, kPortAnnounce);
        iAddRecvTab(
            std::move(announce),
            [this](std::span<std::uint8_t> buffer, const CSocket& socket) {
                return iReadDatagram(buffer, socket, EDatagramKind::Announcement);
            },
            addr, mask, kPortAnnounce);
    }

    // Without its listener the interface still works; upgrades connect to the device.
    CResult<CSocket> listener = sCreateTcpListenSocket(addr);
    if (!listener) {
        KLOG_WARN("no upgrade listener: %s", listener.error().m_strReason.c_str());
    } else {
        // A connection that is reset between the wake-up and the accept must not
        // leave the receive thread blocked in accept.
        (void)iSetNonBlocking(*listener, true);
        iAddRecvTab(
            std::move(*listener),
            [this](std::span<std::uint8_t>, const CSocket& socket) {
                return iReadUpgradeAccept(socket);
            },
            addr, mask, kPortUpgrade);
    }
    return true;
}

void CMySocket::vRaiseRecvBuffer(const CSocket& socket, std::uint16_t port) const {
    if (m_iRecvBufferBytes <= 0) {
        return;
    }
    const int granted = iRaiseReceiveBuffer(socket, m_iRecvBufferBytes);
    vDbgPrint("camkit:%s, %d=>rcvbuf port:%d, asked:%d, got:%d\r\n", "CMySocket::Init", __LINE__,
              port, m_iRecvBufferBytes, granted);
}

int CMySocket::UnInit() {
    vDbgPrint("camkit:%s, %d=>exit 1\r\n", "CMySocket::UnInit", __LINE__);
    m_recvThread.vRequestStop();
    if (m_wakeWriter.fgValid()) {
        const std::uint8_t wake = 1;
        iSend(m_wakeWriter, std::span(&wake, 1));
    }
    // A handler still running uses the receive set and the sockets; they are released
    // only once it has ended.
    m_recvThread.vStop(kStopWaitMs);
    m_fdAttrInfo.vClear();
    m_wakeReader.vClose();
    m_wakeWriter.vClose();
    vDbgPrint("camkit:%s, %d=>exit 5\r\n", "CMySocket::UnInit", __LINE__);
    iReleaseRecvTab();
    vDbgPrint("camkit:%s, %d=>uninit\r\n", "CMySocket::UnInit", __LINE__);
    return 0;
}

std::optional<CInitFault> CMySocket::sInitFault() const {
    return m_initFault;
}

void CMySocket::vSetUpgradeAcceptHandler(UpgradeAcceptHandler handler) {
    const std::lock_guard lock(m_upgradeHandlerLock);
    m_upgradeHandler = std::move(handler);
}

void CMySocket::vSetRecvBufferBytes(int bytes) {
    m_iRecvBufferBytes = bytes;
}

int CMySocket::iAddRecvTab(CSocket socket, CFdAttrInfo::ReadCallback reader, std::uint32_t addrNet,
                           std::uint32_t maskNet, std::uint16_t port) {
    if (!socket.fgValid()) {
        vDbgPrint("camkit:err:%s, %d=>invalid socket, port:%d\r\n", "CMySocket::iAddRecvTab",
                  __LINE__, port);
        return -1;
    }
    const CSocket* stored = nullptr;
    {
        const std::lock_guard lock(m_tabLock);
        const SocketHandle handle = socket.iHandle();
        auto [it, inserted] = m_sockTab.try_emplace(handle);
        CSockTabEntry& entry = it->second;
        if (!inserted) {
            // The same open socket entered again: only its details change, so the
            // old owner must not close it.
            (void)entry.m_socket.release();
        }
        entry.m_socket = std::move(socket);
        entry.m_uiAddr = addrNet;
        entry.m_uiMask = maskNet;
        entry.m_uiBroadcast = iSubnetBroadcast(addrNet, maskNet);
        entry.m_usPort = port;
        stored = &entry.m_socket;
    }
    // Map nodes stay where they are until erased, and they are erased only after the
    // receive set has forgotten them (iReleaseRecvTab).
    m_fdAttrInfo.vAdd(*stored, {}, std::move(reader));
    return 0;
}

int CMySocket::iReleaseRecvTab() {
    m_fdAttrInfo.vClear();
    {
        const std::lock_guard lock(m_tabLock);
        m_sockTab.clear();
    }
    vDbgPrint("camkit:%s, %d=>release\r\n", "CMySocket::iReleaseRecvTab", __LINE__);
    return 0;
}

const CMySocket::CSockTabEntry* CMySocket::psFindSockEntry(std::uint32_t addrNet) const {
    const CSockTabEntry* firstMatch = nullptr;
    for (const auto& [handle, entry] : m_sockTab) {
        if ((entry.m_uiAddr & entry.m_uiMask) != (addrNet & entry.m_uiMask)) {
            continue;
        }
        // Commands must leave from the command socket, whatever handle order the
        // system gave the interface's sockets: the device answers to the source port.
        if (entry.m_usPort == kPortCommand) {
            return &entry;
        }
        if (firstMatch == nullptr) {
            firstMatch = &entry;
        }
    }
    if (firstMatch == nullptr) {
        vDbgPrint("camkit:err:%s, %d=>err sockfd info,ip:%s\r\n", "CMySocket::iGetSockfd", __LINE__,
                  strIpText(addrNet).c_str());
    }
    return firstMatch;
}

int CMySocket::iGetSockfd(std::uint32_t addrNet, std::uint32_t* broadcastNet) const {
    const std::lock_guard lock(m_tabLock);
    const CSockTabEntry* entry = psFindSockEntry(addrNet);
    if (entry == nullptr) {
        return -1;
    }
    if (broadcastNet != nullptr) {
        *broadcastNet = entry->m_uiBroadcast;
    }
    return entry->m_socket.iHandle();
}

std::vector<CSockTabInfo> CMySocket::vecSockTab() const {
    const std::lock_guard lock(m_tabLock);
    std::vector<CSockTabInfo> table;
    table.reserve(m_sockTab.size());
    for (const auto& [handle, entry] : m_sockTab) {
        table.push_back(CSockTabInfo{handle, entry.m_uiAddr, entry.m_uiMask, entry.m_uiBroadcast,
                                     entry.m_usPort});
    }
    return table;
}

int CMySocket::iSendUdpToDev(std::uint32_t addrNet, std::span<const std::uint8_t> data) {
    const std::lock_guard lock(m_tabLock);
    const CSockTabEntry* entry = psFindSockEntry(addrNet);
    if (entry == nullptr) {
        vDbgPrint("camkit:err:%s, %d=>send cmd to dev %s fail, len=%d,\r\n",
                  "CMySocket::iSendUdpToDev", __LINE__, strIpText(addrNet).c_str(),
                  static_cast<int>(data.size()));
        return -2;
    }
    const int sent = iSendTo(entry->m_socket, data, CEndpoint{addrNet, kPortCommand});
    if (sent < 0) {
        vDbgPrint("camkit:err:%s, %d=>sendto %s fail:%s\r\n", "CMySocket::iSendUdpToDev", __LINE__,
                  strIpText(addrNet).c_str(), std::strerror(-sent));
        return -2;
    }
    return 0;
}

bool CMySocket::fgSendUdpByIpStr(const std::string& ip, std::uint16_t port,
                                 std::span<const std::uint8_t> data, bool broadcast) {
    std::uint32_t target = 0;
    if (!fgParseIp(ip, target)) {
        vDbgPrint("camkit:err:%s, %d=>bad ip:%.64s\r\n", "CMySocket::fgSendUdpByIpStr", __LINE__,
                  ip.c_str());
        return false;
    }
    const std::lock_guard lock(m_tabLock);
    const CSockTabEntry* entry = psFindSockEntry(target);
    if (entry == nullptr) {
        return false;
    }
    if (broadcast) {
        target = entry->m_uiBroadcast;
    }
    return iSendTo(entry->m_socket, data, CEndpoint{target, port}) > 0;
}

void CMySocket::vSearchDev() {
    const std::lock_guard lock(m_tabLock);
    for (const auto& [handle, entry] : m_sockTab) {
        if (entry.m_usPort != kPortSearchSrc) {
            continue;
        }
        vDbgPrint("camkit:%s, %d=>ip:%s\r\n", "CMySocket::vSearchDev", __LINE__,
                  strIpText(entry.m_uiBroadcast).c_str());
        const int sent =
            iSendTo(entry.m_socket, kSearchDatagram, CEndpoint{entry.m_uiBroadcast, kPortSearch});
        if (sent < 0) {
            vDbgPrint("camkit:err:%s, %d=>search send fail:%s\r\n", "CMySocket::vSearchDev",
                      __LINE__, std::strerror(-sent));
        }
    }
}

void CMySocket::BroRecv(const std::stop_token& stop) {
    std::mutex pauseLock;
    std::condition_variable_any pause;
    while (!stop.stop_requested()) {
        if (m_fdAttrInfo.iRead() < 0) {
            vDbgPrint("camkit:%s, %d=>read err,exit=%d\r\n", "CMySocket::BroRecv", __LINE__,
                      stop.stop_requested() ? 1 : 0);
            // An empty set or a failing wait would come straight back; one wait time
            // of rest keeps the thread from spinning.
            std::unique_lock lock(pauseLock);
            pause.wait_for(lock, stop, std::chrono::milliseconds(m_fdAttrInfo.iWaitMs()),
                           [] { return false; });
        }
    }
    vDbgPrint("camkit:%s, %d=>recv bro info exit, %d\r\n", "CMySocket::BroRecv", __LINE__, 1);
}

int CMySocket::iReadDatagram(std::span<std::uint8_t> buffer, const CSocket& socket,
                             EDatagramKind kind) {
    std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
    CEndpoint from;
    const int length = iRecvFrom(socket, buffer, from);
    if (length < 0) {
        return length;
    }
    if (static_cast<std::size_t>(length) > buffer.size()) {
        // Its tail is lost; a cut datagram would be misread as a whole one.
        vDbgPrint("camkit:err:%s, %d=>datagram of %d bytes from %s dropped, max=%zu\r\n",
                  "CMySocket::iReadDatagram", __LINE__, length, strIpText(from.m_uiAddr).c_str(),
                  buffer.size());
        return -EMSGSIZE;
    }
    if (m_pReceiver != nullptr) {
        const std::span<const std::uint8_t> datagram(buffer.data(),
                                                     static_cast<std::size_t>(length));
        if (kind == EDatagramKind::Reply) {
            m_pReceiver->vOnDatagram(datagram, from);
        } else {
            m_pReceiver->vOnAnnouncement(datagram, from);
        }
    }
    return length;
}

int CMySocket::iReadUpgradeAccept(const CSocket& listener) {
    CEndpoint peer;
    CSocket accepted = sAccept(listener, &peer);
    if (!accepted.fgValid()) {
        vDbgPrint("camkit:err:%s, %d=>accept fail:%s\r\n", "CMySocket::iReadUpgradeAccept",
                  __LINE__, std::strerror(errno));
        return -1;
    }
    UpgradeAcceptHandler handler;
    {
        const std::lock_guard lock(m_upgradeHandlerLock);
        handler = m_upgradeHandler;
    }
    if (handler) {
        handler(std::move(accepted), peer);
        return 0;
    }
    vDbgPrint("camkit:%s, %d=>no upgrade running, connection of %s closed\r\n",
              "CMySocket::iReadUpgradeAccept", __LINE__, strIpText(peer.m_uiAddr).c_str());
    return 0;
}
