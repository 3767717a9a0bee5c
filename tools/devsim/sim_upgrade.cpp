#include "devsim/sim_upgrade.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <span>

#include "app/log.h"
#include "devsim/sim_upgrade_wire.h"

namespace devsim {

namespace {

constexpr int kPollMs = 100;
constexpr int kConnectWaitMs = 1000;
constexpr std::size_t kReadBytes = std::size_t{64} * 1024;
constexpr std::size_t kHeadMostBytes = kUpgHeadStart + kUpgEntryBytes * kUpgFilesMost;
// How long a device waits for the station to close after its answer, and how long a
// stalled device holds the connection.
constexpr auto kLingerAfterAnswer = std::chrono::seconds(10);
constexpr auto kStallHold = std::chrono::seconds(30);

// Receives what is there, waiting in short steps so that stop is noticed: bytes, 0 when
// the peer closed, -1 on an error, a stop or the deadline.
int iReceive(
    const std::stop_token& stop, const CSocket& socket, std::span<std::uint8_t> buffer,
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max()) {
    while (!stop.stop_requested() && std::chrono::steady_clock::now() < deadline) {
        int events = 0;
        const int ready = iWaitOne(socket, true, false, kPollMs, events);
        if (ready < 0) {
            return -1;
        }
        if (ready == 0) {
            continue;
        }
        const int got = iRecv(socket, buffer);
        if (fgSockRetry(got)) {
            continue;
        }
        return got < 0 ? -1 : got;
    }
    return -1;
}

bool fgSendText(const CSocket& socket, std::string_view text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    std::size_t done = 0;
    while (done < text.size()) {
        int events = 0;
        if (iWaitOne(socket, false, true, kConnectWaitMs, events) <= 0) {
            return false;
        }
        const int sent = iSend(socket, std::span(bytes + done, text.size() - done));
        if (sent <= 0 && !fgSockRetry(sent)) {
            return false;
        }
        done += static_cast<std::size_t>(std::max(sent, 0));
    }
    return true;
}

// Connects from the device's address to the station's listener within a second.
CSocket sConnectBack(std::uint32_t deviceNet, std::uint32_t stationNet) {
    CSocket socket = CSocket::Tcp();
    if (!socket.fgValid() || iBind(socket, CEndpoint{deviceNet, 0}) != 0 ||
        iSetNonBlocking(socket, true) != 0) {
        return {};
    }
    const int started = iConnect(socket, CEndpoint{stationNet, kPortUpgradeStation});
    if (eSockErr(started) == ESockErr::InProgress) {
        int events = 0;
        if (iWaitOne(socket, false, true, kConnectWaitMs, events) <= 0 ||
            eSocketError(socket) != ESockErr::None) {
            return {};
        }
    } else if (started != 0) {
        return {};
    }
    return socket;
}

}  // namespace

CUpgradeService::CUpgradeService(CSimFleetCore& core) : m_core(core) {}

CUpgradeService::~CUpgradeService() {
    vStop();
}

int CUpgradeService::iStart(std::string& error) {
    vStop();
    std::vector<CListener> listeners;
    {
        const std::lock_guard lock(m_core.m_mutex);
        for (std::size_t i = 0; i < m_core.m_devices.size(); ++i) {
            const CSimDevice& device = m_core.m_devices[i];
            if (device.sBehaviour().m_eUpgMode != EUpgMode::kListen) {
                continue;
            }
            CSocket socket = CSocket::Tcp();
            (void)iSetReuseAddr(socket, true);
            const CEndpoint local{device.iAddr(), kPortUpgradeDevice};
            if (!socket.fgValid() || iBind(socket, local) != 0 || iListen(socket, 8) != 0 ||
                iSetNonBlocking(socket, true) != 0) {
                error = "cannot listen on " + strIpText(local.m_uiAddr) + ":" +
                        std::to_string(kPortUpgradeDevice);
                return -1;
            }
            listeners.push_back(CListener{i, std::move(socket)});
        }
    }
    if (!fgMakeWakePair(m_wakeReader, m_wakeWriter)) {
        error = "cannot make the upgrade service's wake-up pair";
        return -1;
    }
    m_listeners = std::move(listeners);
    {
        const std::lock_guard lock(m_lock);
        m_fgRunning = true;
    }
    if (const auto started = m_acceptWorker.sStart(
            "sim-upg-accept", [this](std::stop_token stop) { vAcceptLoop(stop); });
        !started) {
        error = started.error().m_strReason;
        vStop();
        return -1;
    }
    return 0;
}

void CUpgradeService::vStop() {
    std::list<CSession> sessions;
    {
        const std::lock_guard lock(m_lock);
        m_fgRunning = false;
        sessions.splice(sessions.end(), m_sessions);
    }
    if (m_acceptWorker.fgRunning()) {
        m_acceptWorker.vRequestStop();
        const std::uint8_t wake = 1;
        (void)iSend(m_wakeWriter, std::span(&wake, 1));
    }
    m_acceptWorker.vStop(0);
    // All are asked first, so that they end together rather than one after another.
    for (CSession& session : sessions) {
        session.m_worker.vRequestStop();
    }
    sessions.clear();
    m_listeners.clear();
    m_wakeReader.vClose();
    m_wakeWriter.vClose();
}

void CUpgradeService::vOnUpgradeRequest(std::size_t index, const CEndpoint& from) {
    if (index >= m_core.m_devices.size() ||
        m_core.m_devices[index].sBehaviour().m_eUpgMode != EUpgMode::kConnectBack) {
        return;
    }
    vStartSession(index, CSocket(), from.m_uiAddr);
}

void CUpgradeService::vAcceptLoop(const std::stop_token& stop) {
    std::vector<SocketHandle> handles{m_wakeReader.iHandle()};
    for (const CListener& listener : m_listeners) {
        handles.push_back(listener.m_socket.iHandle());
    }
    std::vector<SocketHandle> ready;
    while (!stop.stop_requested()) {
        if (iWaitReadable(handles, kPollMs, ready) <= 0) {
            continue;
        }
        for (const CListener& listener : m_listeners) {
            if (std::find(ready.begin(), ready.end(), listener.m_socket.iHandle()) == ready.end()) {
                continue;
            }
            CSocket accepted = sAccept(listener.m_socket, nullptr);
            if (accepted.fgValid()) {
                vStartSession(listener.m_iDevice, std::move(accepted), 0);
            }
        }
    }
}

void CUpgradeService::vStartSession(std::size_t index, CSocket connection,
                                    std::uint32_t connectBackNet) {
    const std::lock_guard lock(m_lock);
    if (!m_fgRunning) {
        return;
    }
    // Sessions that have ended are joined here (at once: they have returned).
    m_sessions.remove_if([](const CSession& session) { return session.m_fgDone; });
    CSession& session = m_sessions.emplace_back();
    // A worker's body is copyable; the connection it owns is handed over through a pointer.
    auto socket = std::make_shared<CSocket>(std::move(connection));
    const auto started = session.m_worker.sStart(
        "sim-upgrade", [this, index, connectBackNet, &session, socket](std::stop_token stop) {
            vSession(stop, index, std::move(*socket), connectBackNet);
            const std::lock_guard done(m_lock);
            session.m_fgDone = true;
        });
    // Without a thread the connection is dropped, as a device out of resources would.
    session.m_fgDone = !started;
}

void CUpgradeService::vSession(const std::stop_token& stop, std::size_t index, CSocket connection,
                               std::uint32_t connectBackNet) {
    std::uint32_t deviceNet = 0;
    EUpgFault fault = EUpgFault::kNone;
    {
        const std::lock_guard lock(m_core.m_mutex);
        CSimDevice& device = m_core.m_devices[index];
        deviceNet = device.iAddr();
        fault = device.sBehaviour().m_eUpgFault;
        ++device.sState().m_uiUpgConnections;
    }
    if (connectBackNet != 0) {
        connection = sConnectBack(deviceNet, connectBackNet);
    }
    if (!connection.fgValid() || iSetNonBlocking(connection, true) != 0) {
        return;
    }

    std::vector<std::uint8_t> buffer(kReadBytes);
    std::vector<std::uint8_t> head;
    std::vector<CSimUpgHeadFile> announced;
    int headBytes = 0;
    while (headBytes == 0) {
        const int got = iReceive(stop, connection, buffer);
        if (got <= 0) {
            return;
        }
        head.insert(head.end(), buffer.begin(), buffer.begin() + got);
        headBytes = iParseSimUpgHead(head, announced);
        if (headBytes < 0 || (headBytes == 0 && head.size() >= kHeadMostBytes)) {
            KLOG_ERR("%s: bad file head", strIpText(deviceNet).c_str());
            return;
        }
    }
    if (fault == EUpgFault::kStall) {
        const auto until = std::chrono::steady_clock::now() + kStallHold;
        while (!stop.stop_requested() && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
        }
        return;
    }

    // File bytes that came with the head are the start of the first file.
    std::vector<std::uint8_t> pending(head.begin() + headBytes, head.end());
    std::vector<CSimUpgFile> received;
    CSimSha256 digest;
    for (const CSimUpgHeadFile& file : announced) {
        std::uint64_t left = file.m_uiSize;
        while (left > 0) {
            std::span<const std::uint8_t> chunk;
            if (!pending.empty()) {
                chunk = pending;
            } else {
                const int got = iReceive(stop, connection, buffer);
                if (got <= 0) {
                    return;
                }
                chunk = std::span(buffer.data(), static_cast<std::size_t>(got));
            }
            const auto used = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), left));
            digest.vUpdate(chunk.first(used));
            left -= used;
            if (!pending.empty()) {
                pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(used));
            } else if (used < chunk.size()) {
                pending.assign(chunk.begin() + static_cast<std::ptrdiff_t>(used), chunk.end());
            }
            if (fault == EUpgFault::kCloseMidway && received.empty() && left <= file.m_uiSize / 2) {
                return;
            }
        }
        received.push_back(
            CSimUpgFile{file.m_strName, file.m_uiType, file.m_uiSize, digest.strHexDigest()});
    }
    {
        const std::lock_guard lock(m_core.m_mutex);
        CSimDeviceState& state = m_core.m_devices[index].sState();
        state.m_upgFiles = received;
        ++state.m_uiUpgTransfers;
    }
    // Ground truth for tests that push transfers through faults: what arrived whole.
    for (const CSimUpgFile& file : received) {
        std::printf("devsim: %s received %s %llu bytes sha256 %s\n", strIpText(deviceNet).c_str(),
                    file.m_strName.c_str(), static_cast<unsigned long long>(file.m_ulSize),
                    file.m_strSha256.c_str());
    }
    std::fflush(stdout);

    switch (fault) {
        case EUpgFault::kAnswerFailed:
            fgSendText(connection, kRecvFileFailed);
            break;
        case EUpgFault::kDoubleAnswer:
            fgSendText(connection, std::string(kRecvFileOk) + std::string(kRecvFileOk));
            break;
        case EUpgFault::kSplitAnswer:
            fgSendText(connection, kRecvFileOk.substr(0, 5));
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
            fgSendText(connection, kRecvFileOk.substr(5));
            break;
        default:
            fgSendText(connection, kRecvFileOk);
            break;
    }
    if (fault != EUpgFault::kAnswerFailed) {
        // The new firmware takes over: a restart, and the version it brings.
        const std::lock_guard lock(m_core.m_mutex);
        CSimDevice& device = m_core.m_devices[index];
        const CSimBehaviour& behaviour = device.sBehaviour();
        if (behaviour.m_iUpgRestartMs > 0) {
            device.vRestart(CSimClock::now(), behaviour.m_iUpgRestartMs);
        }
        if (!behaviour.m_strUpgVersion.empty()) {
            device.sState().m_strVersion = behaviour.m_strUpgVersion;
        }
    }
    // The station closes when it has read the answer.
    const auto until = std::chrono::steady_clock::now() + kLingerAfterAnswer;
    while (iReceive(stop, connection, buffer, until) > 0) {
    }
}

}  // namespace devsim
