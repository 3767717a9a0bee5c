#pragma once

// The live stream service of every simulated camera of a fleet. A camera opens its
// server (TCP 20554 on its own address) when the open-stream datagram reaches it, and
// keeps it open while the fleet runs. On a connection it checks the login (its user
// name and password), serves the main stream (1920x1080), the sub stream (640x360)
// or the listen stream (audio), switches between main and sub on request, and
// answers every heartbeat with an authentication reply (result 0, or -2 before a
// successful login). Video: one H.264 access unit per packet, 30 per second; audio:
// two AMR frames per packet, 25 per second; sequence numbers count per connection.
//
// One thread serves every connection of the fleet with non-blocking sockets; what a
// client does not read stays queued up to a bound, beyond which new media packets are
// dropped (and counted), as a camera does. Its own encoders, written from the
// tables: the core's stream code is not used here.
//
// Lock order: the fleet's lock, then the service's own.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

#include "app/worker.h"
#include "devsim/fleet_core.h"
#include "net/socket_layer.h"

namespace devsim {

inline constexpr std::uint16_t kSimStreamPort = 20554;

class CStreamService {
  public:
    // How long stopping waits for the thread before saying so in a line.
    static constexpr int kStopWaitMs = 3000;

    explicit CStreamService(CSimFleetCore& core);
    ~CStreamService();
    CStreamService(const CStreamService&) = delete;
    CStreamService& operator=(const CStreamService&) = delete;

    // Starts the service thread. 0, or -1 with the reason in error.
    int iStart(std::string& error);
    // Stops the thread (within about 50 ms) and closes every server and connection.
    void vStop();
    // The camera `index` got the open-stream datagram: its server listens from now
    // on. Called with the fleet's lock held; no effect for a gateway or when open.
    void vOpenLocked(std::size_t index);

  private:
    struct CPiece {
        std::vector<std::uint8_t> m_bytes;
        CSimTime m_notBefore{};
    };
    struct CConnection {
        CSocket m_socket;
        std::size_t m_iDevice = 0;
        std::vector<std::uint8_t> m_in;
        std::deque<CPiece> m_out;
        std::size_t m_iOutOffset = 0;  // sent bytes of m_out.front()
        std::size_t m_iOutBytes = 0;   // queued bytes
        std::vector<std::uint8_t> m_merge;
        int m_iMerged = 0;
        bool m_fgLoggedIn = false;
        int m_iStream = -1;  // -1 until asked
        std::size_t m_iFrame = 0;
        std::uint32_t m_uiSequence = 0;
        int m_iSent = 0;  // media packets
        CSimTime m_nextFrame{};
        bool m_fgProducing = false;  // media is due at m_nextFrame
        bool m_fgClose = false;
    };
    struct CListener {
        CSocket m_socket;
        std::size_t m_iDevice = 0;
    };

    void vRun(const std::stop_token& stop);
    void vAdoptOpened();
    void vAccept(CListener& listener);
    void vRead(CConnection& connection, CSimTime now);
    void vHandleRequest(CConnection& connection, std::uint32_t type,
                        std::span<const std::uint8_t> request, CSimTime now);
    void vProduce(CConnection& connection, CSimTime now);
    void vQueuePacket(CConnection& connection, std::vector<std::uint8_t> packet, CSimTime now,
                      bool media);
    void vFlush(CConnection& connection, CSimTime now);
    int iWaitMs(CSimTime now) const;

    CSimFleetCore& m_core;
    std::mutex m_openLock;
    std::set<std::size_t> m_opened;         // guarded by m_openLock
    std::vector<CListener> m_newListeners;  // guarded by m_openLock
    CSocket m_wakeReader;
    CSocket m_wakeWriter;
    // Service thread only.
    std::vector<CListener> m_listeners;
    std::vector<CConnection> m_connections;
    CWorker m_thread;
};

}  // namespace devsim
