#pragma once

// The UDP side of every device of a fleet: each device listens on its address at the
// command port 24216 and the search port 24218; one socket per attached network,
// bound to its broadcast address at 24218 (and 24216 for the broadcast naming
// request), takes what the station broadcasts and hands it to every device of that
// network. One receive thread polls all sockets, so a fleet of a thousand devices
// costs two sockets each and no thread each.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <queue>
#include <span>
#include <string>
#include <vector>

#include "app/worker.h"
#include "devsim/fleet_core.h"
#include "net/socket_layer.h"

namespace devsim {

class CUdpService {
  public:
    // How long stopping waits for the thread before saying so in a line.
    static constexpr int kStopWaitMs = 3000;

    explicit CUdpService(CSimFleetCore& core);
    ~CUdpService();
    CUdpService(const CUdpService&) = delete;
    CUdpService& operator=(const CUdpService&) = delete;

    // Binds every socket and starts the receive thread. 0, or -1 with the reason in
    // error (nothing stays bound then). The caller holds no lock.
    int iStart(std::string& error);
    // Stops the thread (within about 50 ms) and closes every socket.
    void vStop();

    // Sends the device's announcement to the recorder group from its command socket.
    // 0, or a negative error number (-ENOTCONN before start). Caller holds the lock.
    int iAnnounceLocked(std::size_t index, std::uint32_t messageType);

  private:
    enum class ERole : std::uint8_t { None, DeviceCommand, DeviceSearch, NetSearch, NetCommand };
    struct COwner {
        ERole m_eRole = ERole::None;
        std::uint32_t m_uiIndex = 0;
    };
    struct CDeviceSockets {
        CSocket m_command;
        CSocket m_search;
        std::size_t m_iNet = 0;  // index into m_nets
    };
    struct CNet {
        std::uint32_t m_uiNetwork = 0;  // network order
        int m_iPrefix = 0;
        CSocket m_search;
        CSocket m_command;
    };
    struct CDelayed {
        CSimTime m_due;
        std::uint64_t m_ulSeq = 0;
        std::uint32_t m_uiDevice = 0;
        bool m_fgFromSearch = false;
        CEndpoint m_target;
        CBytes m_data;
        bool operator>(const CDelayed& other) const {
            return m_due != other.m_due ? m_due > other.m_due : m_ulSeq > other.m_ulSeq;
        }
    };

    int iOpenNets(std::string& error);
    int iOpenDevice(std::uint32_t addrNet, CDeviceSockets& sockets, std::string& error) const;
    std::optional<std::size_t> sNetOf(std::uint32_t addrNet) const;
    void vRegister(const CSocket& socket, ERole role, std::size_t index);
    void vUnregister(const CSocket& socket);

    void vRun(const std::stop_token& stop);
    void vDrain(SocketHandle handle, CSimTime now);
    void vOnDatagram(const COwner& owner, std::span<const std::uint8_t> data, const CEndpoint& from,
                     CSimTime now);
    void vDispatch(std::size_t index, bool fromSearch, std::span<const std::uint8_t> data,
                   const CEndpoint& from, CSimTime now);
    bool fgPrepareMove(std::size_t index, std::uint32_t addrNet);
    void vCommitMove(std::size_t index);
    void vDeliver(std::size_t index, bool fromSearch, const CEndpoint& target, CBytes reply,
                  CSimTime now);
    void vSendNow(std::size_t index, bool fromSearch, const CEndpoint& target,
                  std::span<const std::uint8_t> data);
    void vRunDue(CSimTime now);
    void vTick(CSimTime now);
    int iWaitMs(CSimTime now) const;

    CSimFleetCore& m_core;
    // Guarded by m_core.m_mutex once the thread runs.
    std::vector<CNet> m_nets;
    std::vector<CDeviceSockets> m_sockets;
    std::optional<CDeviceSockets> m_pendingMove;
    std::vector<COwner> m_owners;  // by socket handle
    std::vector<SocketHandle> m_handles;
    bool m_fgHandlesChanged = true;
    std::priority_queue<CDelayed, std::vector<CDelayed>, std::greater<>> m_delayed;
    std::uint64_t m_ulDelayedSeq = 0;
    CSimTime m_lastTick{};
    std::array<std::uint8_t, 4096> m_buffer{};  // receive thread only
    bool m_fgRunning = false;
    CWorker m_thread;
};

}  // namespace devsim
