#include "net/my_socket.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <utility>

#include "app/local_ip.h"
#include "app/log.h"
#include "net/socket_helpers.h"

namespace {

std::vector<CInterfaceAddr> vecLocalInterfaces() {
    std::array<std::uint32_t, kLocalIpMax> addresses{};
    std::array<std::uint32_t, kLocalIpMax> masks{};
    const int count = iGetLocalIpTab(addresses.data(), masks.data());
    if (count < 0) {
        KLOG_ERR("no local ip table, ret=%d", count);
        return {};
    }
    std::vector<CInterfaceAddr> interfaces;
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
        interfaces.push_back(CInterfaceAddr{addresses[i], masks[i]});
    }
    return interfaces;
}

// The announcement socket of one interface: it shares the port with the other
// interfaces' sockets and takes only the datagrams of the membership it joins on its
// own interface.
int iCreateAnnounceSocket(CSocket& created) {
    CSocket socket = CSocket::Udp();
    if (!socket.fgValid()) {
        return -1;
    }
    const int bound = iBindMulticastReceiver(socket, kAnnounceGroupNet, kPortAnnounce);
    if (bound != 0) {
        KLOG_ERR("bind port %d fail:%s", kPortAnnounce, pszSockErrText(eSockErr(bound)));
        return -1;
    }
    created = std::move(socket);
    return 0;
}

}  // namespace

CMySocket::~CMySocket() {
    UnInit();
}

bool CMySocket::Init(ILanReceiver& receiver,
                     std::optional<std::vector<CInterfaceAddr>> interfaces) {
    if (m_recvThread.fgRunning()) {
        KLOG_ERR("already running");
        m_initFault = CInitFault{EInitStep::AlreadyRunning, 0, "already running"};
        return false;
    }
    m_pReceiver = &receiver;
    m_initFault.reset();

    std::vector<CInterfaceAddr> wanted =
        interfaces.has_value() ? std::move(*interfaces) : vecLocalInterfaces();
    if (wanted.size() > kMaxInterfaces) {
        KLOG_ERR("%zu interfaces, only the first %zu used", wanted.size(), kMaxInterfaces);
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
    KLOG_INFO("ip:%s", strIpText(addr).c_str());
    KLOG_INFO("mast:%s", strIpText(mask).c_str());

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
        KLOG_INFO("set bro pro err");
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
        KLOG_INFO("create nvr socket fail");
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
    KLOG_INFO("rcvbuf port:%d, asked:%d, got:%d", port, m_iRecvBufferBytes, granted);
}

int CMySocket::UnInit() {
    KLOG_INFO("exit 1");
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
    KLOG_INFO("exit 5");
    iReleaseRecvTab();
    KLOG_INFO("uninit");
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
        KLOG_ERR("invalid socket, port:%d", port);
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
    KLOG_INFO("release");
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
        KLOG_ERR("err sockfd info,ip:%s", strIpText(addrNet).c_str());
    }
    return firstMatch;
}

SocketHandle CMySocket::iGetSockfd(std::uint32_t addrNet, std::uint32_t* broadcastNet) const {
    const std::lock_guard lock(m_tabLock);
    const CSockTabEntry* entry = psFindSockEntry(addrNet);
    if (entry == nullptr) {
        return kInvalidSocket;
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
        KLOG_ERR("send cmd to dev %s fail, len=%d,", strIpText(addrNet).c_str(),
                 static_cast<int>(data.size()));
        return -2;
    }
    const int sent = iSendTo(entry->m_socket, data, CEndpoint{addrNet, kPortCommand});
    if (sent < 0) {
        KLOG_ERR("sendto %s fail:%s", strIpText(addrNet).c_str(), pszSockErrText(eSockErr(sent)));
        return -2;
    }
    return 0;
}

bool CMySocket::fgSendUdpByIpStr(const std::string& ip, std::uint16_t port,
                                 std::span<const std::uint8_t> data, bool broadcast) {
    std::uint32_t target = 0;
    if (!fgParseIp(ip, target)) {
        KLOG_ERR("bad ip:%.64s", ip.c_str());
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
        KLOG_INFO("ip:%s", strIpText(entry.m_uiBroadcast).c_str());
        const int sent =
            iSendTo(entry.m_socket, kSearchDatagram, CEndpoint{entry.m_uiBroadcast, kPortSearch});
        if (sent < 0) {
            KLOG_ERR("search send fail:%s", pszSockErrText(eSockErr(sent)));
        }
    }
}

void CMySocket::BroRecv(const std::stop_token& stop) {
    std::mutex pauseLock;
    std::condition_variable_any pause;
    while (!stop.stop_requested()) {
        if (m_fdAttrInfo.iRead() < 0) {
            KLOG_INFO("read err,exit=%d", stop.stop_requested() ? 1 : 0);
            // An empty set or a failing wait would come straight back; one wait time
            // of rest keeps the thread from spinning.
            std::unique_lock lock(pauseLock);
            pause.wait_for(lock, stop, std::chrono::milliseconds(m_fdAttrInfo.iWaitMs()),
                           [] { return false; });
        }
    }
    KLOG_INFO("recv bro info exit, %d", 1);
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
        KLOG_ERR("datagram of %d bytes from %s dropped, max=%zu", length,
                 strIpText(from.m_uiAddr).c_str(), buffer.size());
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
        KLOG_ERR("accept fail:%s", pszSockErrText(eLastSockErr()));
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
    KLOG_INFO("no upgrade running, connection of %s closed", strIpText(peer.m_uiAddr).c_str());
    return 0;
}
