#pragma once

// The horn receiver of every simulated device of a fleet: the open-audio-receiver
// request (command 30) makes a device listen on TCP 24222 of its own address, and the
// receiver stays open while the fleet runs. Each connection is read to its end; its
// byte count and SHA-256 go into the device's state (m_horn). A device's
// CSimHornBehaviour makes it refuse or drop connections.
//
// One thread serves every listener and connection with non-blocking sockets; it works
// on the device's state only under the fleet's lock. Lock order: the fleet's lock,
// then the service's own.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <stop_token>
#include <string>
#include <vector>

#include "app/worker.h"
#include "devsim/fleet_core.h"
#include "devsim/sim_upgrade_wire.h"
#include "net/socket_layer.h"

namespace devsim {

inline constexpr std::uint16_t kPortHornDevice = 24222;

class CHornService {
  public:
    // How long stopping waits for the thread before saying so in a line.
    static constexpr int kStopWaitMs = 3000;

    explicit CHornService(CSimFleetCore& core);
    ~CHornService();
    CHornService(const CHornService&) = delete;
    CHornService& operator=(const CHornService&) = delete;

    // Starts the service thread. 0, or -1 with the reason in error.
    int iStart(std::string& error);
    // Stops the thread (within about 100 ms) and closes every socket.
    void vStop();
    // Device `index` got the open-audio-receiver request: from the moment this returns
    // its receiver takes connections, unless it refuses them. Called with the fleet's
    // lock held.
    void vOpenLocked(std::size_t index);

  private:
    struct CListener {
        std::size_t m_iDevice = 0;
        CSocket m_socket;
    };
    struct CConnection {
        std::size_t m_iDevice = 0;
        CSocket m_socket;
        CSimSha256 m_digest;
        std::uint64_t m_ulBytes = 0;
    };

    void vRun(const std::stop_token& stop);
    void vAccept(const CListener& listener);
    // Reads what is there; false when the connection has ended.
    bool fgRead(CConnection& connection, std::vector<std::uint8_t>& buffer);
    void vFinish(CConnection& connection, bool dropped);

    CSimFleetCore& m_core;
    CSocket m_wakeReader;
    CSocket m_wakeWriter;
    std::mutex m_lock;
    std::vector<CListener> m_newListeners;  // guarded by m_lock
    std::vector<std::size_t> m_listening;   // devices with a receiver; guarded by m_lock
    bool m_fgRunning = false;               // guarded by m_lock
    // Service thread only.
    std::vector<CListener> m_listeners;
    std::vector<CConnection> m_connections;
    CWorker m_thread;
};

}  // namespace devsim
