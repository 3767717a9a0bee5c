#include "devsim/udp_service.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "app/dbg_print.h"
#include "devsim/sim_addr.h"

namespace devsim {

namespace {

constexpr std::uint16_t kCommandPort = 24216;
constexpr std::uint16_t kSearchPort = 24218;
// Longest wait of one poll: the bound on how late a stop or a timed event is noticed.
constexpr int kPollMaxMs = 50;
// Rest after a failed wait, so that a lasting poll error does not spin the thread.
constexpr int kPollErrorRestMs = 50;
constexpr auto kTickPeriod = std::chrono::milliseconds(20);
// Datagrams read from one socket per cycle, so that one busy socket cannot starve
// the others.
constexpr int kReadsPerSocket = 64;
constexpr std::size_t kDelayedMax = 100000;
constexpr int kCopiesMax = 10;

std::string strSocketError(const std::string& what, std::uint32_t addrNet, std::uint16_t port,
                           int rc) {
    return what + " " + strIpText(addrNet) + ":" + std::to_string(port) + ": " + std::strerror(-rc);
}

// A non-blocking UDP socket bound to addr:port; invalid with error set on failure.
CSocket sBindUdp(std::uint32_t addrNet, std::uint16_t port, std::string& error) {
    CSocket socket = CSocket::Udp();
    if (!socket.fgValid()) {
        error = strSocketError("cannot open a socket for", addrNet, port, -errno);
        return {};
    }
    int rc = iBind(socket, CEndpoint{addrNet, port});
    if (rc == 0) {
        rc = iSetNonBlocking(socket, true);
    }
    if (rc != 0) {
        error = strSocketError("cannot bind", addrNet, port, rc);
        return {};
    }
    return socket;
}

}  // namespace

CUdpService::CUdpService(CSimFleetCore& core) : m_core(core) {}

CUdpService::~CUdpService() {
    vStop();
}

int CUdpService::iStart(std::string& error) {
    vStop();
    std::lock_guard lock(m_core.m_mutex);
    if (iOpenNets(error) != 0) {
        m_nets.clear();
        m_owners.clear();
        return -1;
    }
    m_sockets.resize(m_core.m_devices.size());
    for (std::size_t i = 0; i < m_core.m_devices.size(); ++i) {
        if (iOpenDevice(m_core.m_devices[i].iAddr(), m_sockets[i], error) != 0) {
            m_sockets.clear();
            m_nets.clear();
            m_owners.clear();
            return -1;
        }
        m_sockets[i].m_iNet = *sNetOf(m_core.m_devices[i].iAddr());
        vRegister(m_sockets[i].m_command, ERole::DeviceCommand, i);
        vRegister(m_sockets[i].m_search, ERole::DeviceSearch, i);
    }
    m_fgRunning = true;
    m_fgHandlesChanged = true;
    m_lastTick = CSimClock::now();
    if (const auto started =
            m_thread.sStart("sim-udp", [this](const std::stop_token& stop) { vRun(stop); });
        !started) {
        error = started.error().m_strReason;
        m_fgRunning = false;
        m_sockets.clear();
        m_nets.clear();
        m_owners.clear();
        return -1;
    }
    return 0;
}

void CUdpService::vStop() {
    m_thread.vStop(kStopWaitMs);
    std::lock_guard lock(m_core.m_mutex);
    m_fgRunning = false;
    m_sockets.clear();
    m_nets.clear();
    m_pendingMove.reset();
    m_owners.clear();
    m_handles.clear();
    m_delayed = {};
}

int CUdpService::iOpenNets(std::string& error) {
    m_nets.clear();
    for (const CSimAddress& attached : m_core.m_attached) {
        const std::uint32_t network = attached.m_uiAddrNet & iMaskNet(attached.m_iPrefix);
        const bool known = std::any_of(m_nets.begin(), m_nets.end(), [&](const CNet& net) {
            return net.m_uiNetwork == network && net.m_iPrefix == attached.m_iPrefix;
        });
        if (known) {
            continue;
        }
        CNet net;
        net.m_uiNetwork = network;
        net.m_iPrefix = attached.m_iPrefix;
        const std::uint32_t broadcast = iBroadcastNet(network, attached.m_iPrefix);
        net.m_search = sBindUdp(broadcast, kSearchPort, error);
        if (!net.m_search.fgValid()) {
            return -1;
        }
        net.m_command = sBindUdp(broadcast, kCommandPort, error);
        if (!net.m_command.fgValid()) {
            return -1;
        }
        // A search reaches every device at once: leave room for a burst of them.
        if (m_core.m_iSearchBufferBytes > 0) {
            iRaiseReceiveBuffer(net.m_search, m_core.m_iSearchBufferBytes);
        }
        m_nets.push_back(std::move(net));
        vRegister(m_nets.back().m_search, ERole::NetSearch, m_nets.size() - 1);
        vRegister(m_nets.back().m_command, ERole::NetCommand, m_nets.size() - 1);
    }
    return 0;
}

int CUdpService::iOpenDevice(std::uint32_t addrNet, CDeviceSockets& sockets,
                             std::string& error) const {
    sockets.m_command = sBindUdp(addrNet, kCommandPort, error);
    if (!sockets.m_command.fgValid()) {
        return -1;
    }
    sockets.m_search = sBindUdp(addrNet, kSearchPort, error);
    return sockets.m_search.fgValid() ? 0 : -1;
}

std::optional<std::size_t> CUdpService::sNetOf(std::uint32_t addrNet) const {
    for (std::size_t i = 0; i < m_nets.size(); ++i) {
        if (fgSameSubnet(addrNet, m_nets[i].m_uiNetwork, m_nets[i].m_iPrefix)) {
            return i;
        }
    }
    return std::nullopt;
}

void CUdpService::vRegister(const CSocket& socket, ERole role, std::size_t index) {
    const auto handle = static_cast<std::size_t>(socket.iHandle());
    if (m_owners.size() <= handle) {
        m_owners.resize(handle + 1);
    }
    m_owners[handle] = COwner{role, static_cast<std::uint32_t>(index)};
    m_fgHandlesChanged = true;
}

void CUdpService::vUnregister(const CSocket& socket) {
    const auto handle = static_cast<std::size_t>(socket.iHandle());
    if (socket.fgValid() && handle < m_owners.size()) {
        m_owners[handle] = COwner{};
        m_fgHandlesChanged = true;
    }
}

int CUdpService::iAnnounceLocked(std::size_t index, std::uint32_t messageType) {
    if (!m_fgRunning || index >= m_sockets.size()) {
        return -ENOTCONN;
    }
    const CBytes datagram = sBuildAnnouncement(messageType, m_core.m_devices[index].iAddr());
    // The socket is bound to the device's own address, so the kernel sends the group
    // datagram out of the interface that holds that address (loopback for 127.x).
    const int rc =
        iSendTo(m_sockets[index].m_command, datagram, CEndpoint{kAnnounceGroup, kAnnouncePort});
    return rc < 0 ? rc : 0;
}

void CUdpService::vRun(const std::stop_token& stop) {
    std::vector<SocketHandle> handles;
    std::vector<SocketHandle> ready;
    int waitMs = kPollMaxMs;
    while (!stop.stop_requested()) {
        {
            std::lock_guard lock(m_core.m_mutex);
            if (m_fgHandlesChanged) {
                handles.clear();
                for (std::size_t handle = 0; handle < m_owners.size(); ++handle) {
                    if (m_owners[handle].m_eRole != ERole::None) {
                        handles.push_back(static_cast<SocketHandle>(handle));
                    }
                }
                m_fgHandlesChanged = false;
            }
        }
        const int rc = iWaitReadable(handles, waitMs, ready);
        if (rc < 0 && rc != -EINTR) {
            vDbgPrint("camkit:err:%s, %d=>poll failed, %d\r\n", "CUdpService::vRun", __LINE__, rc);
            // A wait that keeps failing would come straight back: rest a moment.
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollErrorRestMs));
        }
        std::lock_guard lock(m_core.m_mutex);
        const CSimTime now = CSimClock::now();
        for (const SocketHandle handle : ready) {
            vDrain(handle, now);
        }
        vRunDue(now);
        vTick(now);
        waitMs = iWaitMs(CSimClock::now());
    }
}

void CUdpService::vDrain(SocketHandle handle, CSimTime now) {
    for (int reads = 0; reads < kReadsPerSocket; ++reads) {
        // A move while handling may close this socket: look its owner up every time.
        const auto slot = static_cast<std::size_t>(handle);
        if (slot >= m_owners.size() || m_owners[slot].m_eRole == ERole::None) {
            return;
        }
        const COwner owner = m_owners[slot];
        const CSocket* socket = nullptr;
        switch (owner.m_eRole) {
            case ERole::DeviceCommand:
                socket = &m_sockets[owner.m_uiIndex].m_command;
                break;
            case ERole::DeviceSearch:
                socket = &m_sockets[owner.m_uiIndex].m_search;
                break;
            case ERole::NetSearch:
                socket = &m_nets[owner.m_uiIndex].m_search;
                break;
            case ERole::NetCommand:
                socket = &m_nets[owner.m_uiIndex].m_command;
                break;
            case ERole::None:
                return;
        }
        CEndpoint from;
        const int got = iRecvFrom(*socket, m_buffer, from);
        if (got < 0) {
            return;
        }
        // An oversized datagram lost its tail: no request is that long, so drop it.
        if (static_cast<std::size_t>(got) > m_buffer.size()) {
            continue;
        }
        vOnDatagram(owner, std::span(m_buffer).first(static_cast<std::size_t>(got)), from, now);
    }
}

void CUdpService::vOnDatagram(const COwner& owner, std::span<const std::uint8_t> data,
                              const CEndpoint& from, CSimTime now) {
    switch (owner.m_eRole) {
        case ERole::DeviceCommand:
            vDispatch(owner.m_uiIndex, false, data, from, now);
            return;
        case ERole::DeviceSearch:
            vDispatch(owner.m_uiIndex, true, data, from, now);
            return;
        case ERole::NetSearch:
        case ERole::NetCommand: {
            // A broadcast reaches every device on that network; each answers from its own
            // socket of the same port.
            const bool fromSearch = owner.m_eRole == ERole::NetSearch;
            for (std::size_t i = 0; i < m_sockets.size(); ++i) {
                if (m_sockets[i].m_iNet == owner.m_uiIndex) {
                    vDispatch(i, fromSearch, data, from, now);
                }
            }
            return;
        }
        case ERole::None:
            return;
    }
}

void CUdpService::vDispatch(std::size_t index, bool fromSearch, std::span<const std::uint8_t> data,
                            const CEndpoint& from, CSimTime now) {
    CSimDevice& device = m_core.m_devices[index];
    if (!device.fgAnswers(now)) {
        return;
    }
    const std::uint32_t streamOpens = device.sState().m_uiStreamOpens;
    const std::uint32_t upgradeRequests = device.sState().m_uiUpgradeRequests;
    const std::uint32_t hornOpens = device.sState().m_uiHornOpens;
    CSimDevice::COutcome outcome = device.sHandle(
        data, from, now,
        [this, index](std::uint32_t addrNet) { return fgPrepareMove(index, addrNet); });
    if (device.sState().m_uiStreamOpens != streamOpens && m_core.m_onStreamOpen) {
        m_core.m_onStreamOpen(index);
    }
    if (device.sState().m_uiUpgradeRequests != upgradeRequests && m_core.m_fnOnUpgradeRequest) {
        m_core.m_fnOnUpgradeRequest(index, from);
    }
    if (device.sState().m_uiHornOpens != hornOpens && m_core.m_fnOnHornOpen) {
        m_core.m_fnOnHornOpen(index);
    }
    for (CBytes& reply : outcome.m_replies) {
        vDeliver(index, fromSearch, from, std::move(reply), now);
    }
    if (outcome.m_moveTo && m_pendingMove) {
        vCommitMove(index);
        device.vMovedTo(*outcome.m_moveTo);
    }
    m_pendingMove.reset();
    if (outcome.m_fgRestart) {
        device.vRestart(now);
    }
}

bool CUdpService::fgPrepareMove(std::size_t index, std::uint32_t addrNet) {
    m_pendingMove.reset();
    const std::optional<std::size_t> net = sNetOf(addrNet);
    if (!net || !fgIsHostAddress(addrNet, m_nets[*net].m_iPrefix) ||
        (!m_core.m_fgAllowAnyAddr && !fgIsLoopback(addrNet))) {
        return false;
    }
    for (std::size_t i = 0; i < m_core.m_devices.size(); ++i) {
        if (i != index && m_core.m_devices[i].iAddr() == addrNet) {
            return false;
        }
    }
    CDeviceSockets sockets;
    std::string error;
    if (iOpenDevice(addrNet, sockets, error) != 0) {
        vDbgPrint("camkit:err:%s, %d=>%s\r\n", "CUdpService::fgPrepareMove", __LINE__,
                  error.c_str());
        return false;
    }
    sockets.m_iNet = *net;
    m_pendingMove = std::move(sockets);
    return true;
}

void CUdpService::vCommitMove(std::size_t index) {
    vUnregister(m_sockets[index].m_command);
    vUnregister(m_sockets[index].m_search);
    m_sockets[index] = std::move(*m_pendingMove);
    m_pendingMove.reset();
    vRegister(m_sockets[index].m_command, ERole::DeviceCommand, index);
    vRegister(m_sockets[index].m_search, ERole::DeviceSearch, index);
}

void CUdpService::vDeliver(std::size_t index, bool fromSearch, const CEndpoint& target,
                           CBytes reply, CSimTime now) {
    const CSimBehaviour& behaviour = m_core.m_devices[index].sBehaviour();
    if (behaviour.m_fgSilent) {
        return;
    }
    vMalform(reply, behaviour.m_eMalform);
    const int copies = std::clamp(behaviour.m_iCopies, 1, kCopiesMax);
    if (behaviour.m_iDelayMs <= 0) {
        for (int copy = 0; copy < copies; ++copy) {
            vSendNow(index, fromSearch, target, reply);
        }
        return;
    }
    const CSimTime due = now + std::chrono::milliseconds(behaviour.m_iDelayMs);
    for (int copy = 0; copy < copies && m_delayed.size() < kDelayedMax; ++copy) {
        m_delayed.push(CDelayed{due, m_ulDelayedSeq++, static_cast<std::uint32_t>(index),
                                fromSearch, target, reply});
    }
}

void CUdpService::vSendNow(std::size_t index, bool fromSearch, const CEndpoint& target,
                           std::span<const std::uint8_t> data) {
    const CDeviceSockets& sockets = m_sockets[index];
    const int rc = iSendTo(fromSearch ? sockets.m_search : sockets.m_command, data, target);
    if (rc < 0) {
        vDbgPrint("camkit:err:%s, %d=>send to %s:%u failed, %d\r\n", "CUdpService::vSendNow",
                  __LINE__, strIpText(target.m_uiAddr).c_str(), target.m_usPort, rc);
    }
}

void CUdpService::vRunDue(CSimTime now) {
    while (!m_delayed.empty() && m_delayed.top().m_due <= now) {
        const CDelayed& item = m_delayed.top();
        if (item.m_uiDevice < m_sockets.size()) {
            vSendNow(item.m_uiDevice, item.m_fgFromSearch, item.m_target, item.m_data);
        }
        m_delayed.pop();
    }
}

void CUdpService::vTick(CSimTime now) {
    if (now - m_lastTick < kTickPeriod) {
        return;
    }
    m_lastTick = now;
    for (std::size_t i = 0; i < m_core.m_devices.size(); ++i) {
        CSimDevice::CLogOutput output = m_core.m_devices[i].sTick(now);
        for (CBytes& line : output.m_lines) {
            vDeliver(i, false, output.m_target, std::move(line), now);
        }
        for (auto& [requester, answer] : output.m_answers) {
            vDeliver(i, false, requester, std::move(answer), now);
        }
    }
}

int CUdpService::iWaitMs(CSimTime now) const {
    if (m_delayed.empty()) {
        return kPollMaxMs;
    }
    const auto untilDue =
        std::chrono::ceil<std::chrono::milliseconds>(m_delayed.top().m_due - now).count();
    return static_cast<int>(std::clamp<long long>(untilDue, 0, kPollMaxMs));
}

}  // namespace devsim
