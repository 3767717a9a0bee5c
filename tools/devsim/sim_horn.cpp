#include "devsim/sim_horn.h"

#include <algorithm>
#include <cerrno>
#include <span>

namespace devsim {

namespace {

constexpr int kPollMs = 100;
constexpr std::size_t kReadBytes = std::size_t{64} * 1024;

}  // namespace

CHornService::CHornService(CSimFleetCore& core) : m_core(core) {}

CHornService::~CHornService() {
    vStop();
}

int CHornService::iStart(std::string& error) {
    vStop();
    if (!fgMakeWakePair(m_wakeReader, m_wakeWriter)) {
        error = "cannot make the horn receiver's wake-up pair";
        return -1;
    }
    {
        const std::lock_guard lock(m_lock);
        m_fgRunning = true;
    }
    if (const auto started =
            m_thread.sStart("sim-horn", [this](std::stop_token stop) { vRun(stop); });
        !started) {
        error = started.error().m_strReason;
        const std::lock_guard lock(m_lock);
        m_fgRunning = false;
        return -1;
    }
    return 0;
}

void CHornService::vStop() {
    {
        const std::lock_guard lock(m_lock);
        m_fgRunning = false;
        m_newListeners.clear();
        m_listening.clear();
    }
    m_thread.vRequestStop();
    const std::uint8_t wake = 1;
    (void)iSend(m_wakeWriter, std::span(&wake, 1));
    m_thread.vStop(kStopWaitMs);
    m_listeners.clear();
    m_connections.clear();
    m_wakeReader.vClose();
    m_wakeWriter.vClose();
}

void CHornService::vOpenLocked(std::size_t index) {
    if (index >= m_core.m_devices.size()) {
        return;
    }
    const CSimDevice& device = m_core.m_devices[index];
    if (device.sBehaviour().m_horn.m_eFault == EHornFault::kRefuse) {
        return;
    }
    const std::lock_guard lock(m_lock);
    if (!m_fgRunning ||
        std::find(m_listening.begin(), m_listening.end(), index) != m_listening.end()) {
        return;
    }
    // Listening before the request's handling ends, so that a station that connects
    // right after its request finds the receiver open.
    CSocket socket = CSocket::Tcp();
    (void)iSetReuseAddr(socket, true);
    if (!socket.fgValid() || iBind(socket, CEndpoint{device.iAddr(), kPortHornDevice}) != 0 ||
        iListen(socket, 8) != 0 || iSetNonBlocking(socket, true) != 0) {
        return;
    }
    m_listening.push_back(index);
    m_newListeners.push_back(CListener{index, std::move(socket)});
    const std::uint8_t wake = 1;
    (void)iSend(m_wakeWriter, std::span(&wake, 1));
}

void CHornService::vRun(const std::stop_token& stop) {
    std::vector<std::uint8_t> buffer(kReadBytes);
    std::vector<SocketHandle> handles;
    std::vector<SocketHandle> ready;
    const auto isReady = [&ready](const CSocket& socket) {
        return std::find(ready.begin(), ready.end(), socket.iHandle()) != ready.end();
    };
    while (!stop.stop_requested()) {
        {
            const std::lock_guard lock(m_lock);
            for (CListener& listener : m_newListeners) {
                m_listeners.push_back(std::move(listener));
            }
            m_newListeners.clear();
        }
        handles.assign(1, m_wakeReader.iHandle());
        for (const CListener& listener : m_listeners) {
            handles.push_back(listener.m_socket.iHandle());
        }
        for (const CConnection& connection : m_connections) {
            handles.push_back(connection.m_socket.iHandle());
        }
        if (iWaitReadable(handles, kPollMs, ready) <= 0) {
            continue;
        }
        if (isReady(m_wakeReader)) {
            std::uint8_t drain[16];
            (void)iRecv(m_wakeReader, drain);
        }
        for (const CListener& listener : m_listeners) {
            if (isReady(listener.m_socket)) {
                vAccept(listener);
            }
        }
        std::erase_if(m_connections, [&](CConnection& connection) {
            return isReady(connection.m_socket) && !fgRead(connection, buffer);
        });
    }
}

void CHornService::vAccept(const CListener& listener) {
    CSocket accepted = sAccept(listener.m_socket, nullptr);
    if (!accepted.fgValid() || iSetNonBlocking(accepted, true) != 0) {
        return;
    }
    {
        const std::lock_guard lock(m_core.m_mutex);
        ++m_core.m_devices[listener.m_iDevice].sState().m_horn.m_uiConnections;
    }
    CConnection& connection = m_connections.emplace_back();
    connection.m_iDevice = listener.m_iDevice;
    connection.m_socket = std::move(accepted);
}

bool CHornService::fgRead(CConnection& connection, std::vector<std::uint8_t>& buffer) {
    CSimHornBehaviour behaviour;
    {
        const std::lock_guard lock(m_core.m_mutex);
        behaviour = m_core.m_devices[connection.m_iDevice].sBehaviour().m_horn;
    }
    std::size_t want = buffer.size();
    if (behaviour.m_eFault == EHornFault::kDropAfter) {
        want = static_cast<std::size_t>(std::min<std::uint64_t>(
            want, behaviour.m_iDropAfterBytes -
                      std::min<std::uint64_t>(connection.m_ulBytes, behaviour.m_iDropAfterBytes)));
        if (want == 0) {
            vFinish(connection, true);
            return false;
        }
    }
    const int got = iRecv(connection.m_socket, std::span(buffer.data(), want));
    if (got == -EAGAIN || got == -EINTR) {
        return true;
    }
    if (got <= 0) {
        vFinish(connection, false);
        return false;
    }
    connection.m_digest.vUpdate(std::span(buffer.data(), static_cast<std::size_t>(got)));
    connection.m_ulBytes += static_cast<std::uint64_t>(got);
    if (behaviour.m_eFault == EHornFault::kDropAfter &&
        connection.m_ulBytes >= behaviour.m_iDropAfterBytes) {
        vFinish(connection, true);
        return false;
    }
    return true;
}

void CHornService::vFinish(CConnection& connection, bool dropped) {
    const std::lock_guard lock(m_core.m_mutex);
    CSimHornLog& log = m_core.m_devices[connection.m_iDevice].sState().m_horn;
    ++(dropped ? log.m_uiDropped : log.m_uiEnded);
    log.m_ulLastBytes = connection.m_ulBytes;
    log.m_strLastSha256 = connection.m_digest.strHexDigest();
}

}  // namespace devsim
