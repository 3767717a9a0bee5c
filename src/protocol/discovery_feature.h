#pragma once

// Discovery: the search, the hand-over of discovery replies from the receive thread
// to the operator's thread, the records they become, the sort after a refresh, and
// the answers to the announcements of recorders.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <span>

#include "app/que_buffer.h"
#include "protocol/discovery_queue.h"
#include "protocol/reply_router.h"

class CStation;

class CDiscoveryFeature final : public IReplyHandler {
  public:
    // Ticks of the sort countdown (50 ms each) without a new device before the sort.
    static constexpr int kSortCountdownTicks = 6;
    // Work one drain step may take: replies are turned into records until it is spent,
    // so a big bench is listed quickly while the operator's thread stays responsive.
    static constexpr std::chrono::microseconds kDrainBudget{8000};

    explicit CDiscoveryFeature(CStation& station);

    // Discovery replies (receive thread): queued as they are, nothing parsed.
    int iOnReply(const CReplyReader& reply, std::uint32_t senderNet) override;
    // An announcement (receive thread): a recorder's login request is answered by a
    // search sent to the device.
    void vParseIpcToNvrInfo(std::span<const std::uint8_t> datagram, std::uint32_t senderNet);

    // "Refresh List" without its window parts: selection, registry and pool emptied,
    // filter off, search sent, sort countdown restarted. The owner sends the second
    // search after 100 ms (vSearch) and runs fgSortTick every 50 ms.
    void vRefresh();
    void vSearch();
    // Turns queued replies into records for up to budget of work and returns how many
    // are still queued (call again every 20 ms until 0).
    int iDrainDiscoveryQueue(std::chrono::microseconds budget = kDrainBudget);
    int iDiscoveryQueued() const { return m_discoveryQueue.iCount(); }
    // One tick of the sort countdown; false once it is over (the sort has run, or no
    // refresh started one), and the owner's timer stops.
    bool fgSortTick();

  private:
    CStation& m_station;
    CQueBuffer m_discoveryQueue{kDiscoveryQueueCapacity};
    mutable std::mutex m_lock;
    int m_iSortCountdown = 0;
};
