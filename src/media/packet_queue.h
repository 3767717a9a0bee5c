#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <stop_token>

#include "app/log.h"

// Bounded queue of media packets between a stream's receive thread (producer) and the
// thread that decodes them (consumer). The consumer sleeps until a packet arrives or
// it is told to stop, so a packet waits for nothing but the packets ahead of it.
// Thread-safe.
template <typename TPacket>
class CPacketQueue {
  public:
    explicit CPacketQueue(int max) : m_iMax(max) {}

    // 0 queued; -2 full (the queue holds max packets; the packet is dropped with a line).
    int iAdd(TPacket&& packet) {
        {
            std::lock_guard guard(m_lock);
            const int count = static_cast<int>(m_items.size());
            if (count >= m_iMax) {
                KLOG_INFO("buffer too long,curr=%d, max=%d", count, m_iMax);
                return -2;
            }
            m_items.push_back(std::move(packet));
        }
        m_ready.notify_one();
        return 0;
    }

    // Waits until a packet is queued or `stop` is requested. true and the oldest
    // packet moved into `packet`; false once stop is requested (packets stay queued).
    bool fgWaitGet(std::stop_token stop, TPacket& packet) {
        std::unique_lock lock(m_lock);
        m_ready.wait(lock, stop, [this] { return !m_items.empty(); });
        if (stop.stop_requested() || m_items.empty()) {
            return false;
        }
        packet = std::move(m_items.front());
        m_items.pop_front();
        return true;
    }

    void vClear() {
        std::lock_guard guard(m_lock);
        m_items.clear();
    }

    int iCount() const {
        std::lock_guard guard(m_lock);
        return static_cast<int>(m_items.size());
    }

  private:
    mutable std::mutex m_lock;
    std::condition_variable_any m_ready;
    std::deque<TPacket> m_items;
    const int m_iMax;
};
