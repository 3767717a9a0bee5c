#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

// Bounded, thread-safe queue of byte buffers: the hand-over point between a network
// thread (producer) and a consumer on another thread. Each item is copied once on
// iAdd; iGet moves that copy to the consumer, which then owns it.
class CQueBuffer {
  public:
    explicit CQueBuffer(int max);
    ~CQueBuffer();
    CQueBuffer(const CQueBuffer&) = delete;
    CQueBuffer& operator=(const CQueBuffer&) = delete;

    // 0 added; -2 full (the queue holds max items); -3 the copy cannot be allocated;
    // -4 data is null or length is not positive. The caller keeps its buffer.
    int iAdd(int length, const void* data);

    // 0 and the oldest item moved into data; -2 when empty (data left untouched).
    int iGet(std::vector<std::uint8_t>& data);

    // Frees every queued item.
    void vClear();

    int iCount() const;
    int iMax() const { return m_iMax; }

  private:
    mutable std::mutex m_lock;
    std::deque<std::vector<std::uint8_t>> m_items;
    int m_iMax;
};
