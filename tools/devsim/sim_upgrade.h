#pragma once

// The firmware receiver of every device of a fleet. A device in EUpgMode::kListen
// listens on TCP 24215 of its own address; one in kConnectBack connects from its
// address to the requester's TCP 24214 when an upgrade request arrives. Either way
// the device reads the file head, receives every file, keeps each file's size and
// SHA-256 in its state (m_upgFiles) and answers, as its EUpgFault says.
//
// One thread waits on the listeners; each connection has a thread of its own, which
// works on the device's state only under the fleet's lock. The mode is read when the
// service starts; the fault when a connection begins.

#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <vector>

#include "app/worker.h"
#include "devsim/fleet_core.h"
#include "net/socket_layer.h"

namespace devsim {

inline constexpr std::uint16_t kPortUpgradeDevice = 24215;
inline constexpr std::uint16_t kPortUpgradeStation = 24214;

class CUpgradeService {
  public:
    explicit CUpgradeService(CSimFleetCore& core);
    ~CUpgradeService();
    CUpgradeService(const CUpgradeService&) = delete;
    CUpgradeService& operator=(const CUpgradeService&) = delete;

    // Opens the listeners of the devices in kListen mode and starts the accept thread.
    // 0, or -1 with the reason in error (nothing stays open then).
    int iStart(std::string& error);
    // Stops every thread (within about 100 ms) and closes every socket.
    void vStop();

    // An upgrade request reached device index from `from`: a device in kConnectBack
    // mode connects back. Returns at once; the caller may hold the fleet's lock.
    void vOnUpgradeRequest(std::size_t index, const CEndpoint& from);

  private:
    struct CListener {
        std::size_t m_iDevice = 0;
        CSocket m_socket;
    };
    struct CSession {
        CWorker m_worker;
        bool m_fgDone = false;  // guarded by m_lock
    };

    void vAcceptLoop(const std::stop_token& stop);
    void vStartSession(std::size_t index, CSocket connection, std::uint32_t connectBackNet);
    void vSession(const std::stop_token& stop, std::size_t index, CSocket connection,
                  std::uint32_t connectBackNet);

    CSimFleetCore& m_core;
    std::vector<CListener> m_listeners;
    CSocket m_wakeReader;
    CSocket m_wakeWriter;

    std::mutex m_lock;
    std::list<CSession> m_sessions;  // guarded by m_lock; a list keeps each in place
    bool m_fgRunning = false;        // guarded by m_lock
    CWorker m_acceptWorker;
};

}  // namespace devsim
