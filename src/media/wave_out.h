#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>

#include "media/amr_decoder.h"
#include "media/pcm_sink.h"

// The audio player: a fixed pool of 50 buffers of 20 ms (one second of sound) lent to
// the sink, with a free list of the buffers the sink does not hold. Writing never
// waits: with every buffer at the sink, the 20 ms are dropped. Allocates nothing after
// construction. iWrite and vClose from one thread at a time; the sink may hand
// buffers back from any thread.
class CWaveOut {
  public:
    static constexpr int kBufferCount = 50;
    // Closing waits this long for the sink to play out what it holds, checking as each
    // buffer comes back; then the sink is closed and drops the rest.
    static constexpr int kCloseWaitMs = 1500;

    // Opens `sink` (null: no output device). A sink that does not open leaves the
    // player closed; every write is then discarded.
    explicit CWaveOut(IPcmSink* sink);
    // Closes the player.
    ~CWaveOut();
    CWaveOut(const CWaveOut&) = delete;
    CWaveOut& operator=(const CWaveOut&) = delete;

    bool fgIsOpen() const;

    // Copies 20 ms of samples into a free buffer and queues it at the sink.
    // 0 queued; -1 the player is closed (discarded); -2 no free buffer (dropped);
    // -3 the sink refused it.
    int iWrite(std::span<const std::int16_t, kAmrFrameSamples> samples);

    // Buffers on the free list (kBufferCount when the sink holds none).
    int iFreeBuffers() const;

    // Waits (at most kCloseWaitMs) until the sink has handed back every buffer, then
    // closes it; a line names the buffers it still held. Harmless when closed.
    void vClose();

  private:
    void vOnPlayed(int bufferId);

    IPcmSink* m_sink = nullptr;
    mutable std::mutex m_lock;
    std::condition_variable m_bufferBack;
    bool m_fgOpen = false;
    std::array<std::array<std::int16_t, kAmrFrameSamples>, kBufferCount> m_buffers{};
    std::array<bool, kBufferCount> m_atSink{};
    std::array<int, kBufferCount> m_freeList{};
    int m_iFreeCount = 0;
};
