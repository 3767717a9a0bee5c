#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <stop_token>
#include <vector>

#include "app/worker.h"
#include "media/amr_decoder.h"
#include "media/packet_queue.h"
#include "media/wave_out.h"

// What the audio thread has done since construction.
struct SAudioStats {
    int iFramesDecoded = 0;
    int iFramesPlayed = 0;   // handed to the sink
    int iFramesDropped = 0;  // decoded while the sink held every buffer
    int iBytesLeftOver = 0;  // ends of payloads too short for a whole frame, not decoded
};

// Audio of the listen channel: a bounded queue of packet payloads, one AMR-NB decoder
// and one audio thread that decodes each payload's 32-byte frames and writes them to
// the player, 20 ms per frame. The thread sleeps until a payload arrives. Lives from
// construction to destruction whether or not anybody listens; without an output
// device the audio is decoded and discarded.
//
// Threads: payloads may be added and the queue cleared from any thread.
class CAudioCtrl {
  public:
    static constexpr int kQueueMax = 30;
    static constexpr int kStopWaitMs = 5000;

    // Opens the player on `sink` (null: no output device; else it must outlive this
    // object), creates the decoder and starts the audio thread.
    explicit CAudioCtrl(IPcmSink* sink);
    // Stops the audio thread (with a line when it takes longer than kStopWaitMs), then
    // closes the player (bounded, see CWaveOut).
    ~CAudioCtrl();
    CAudioCtrl(const CAudioCtrl&) = delete;
    CAudioCtrl& operator=(const CAudioCtrl&) = delete;

    // Queues a copy of one audio packet's payload: AMR frames of 32 bytes; a shorter
    // end is left out with a line when its turn comes. 0 queued (an empty payload has
    // nothing to play and is not queued); -2 the queue holds kQueueMax payloads, dropped.
    int iAddPacket(std::span<const std::uint8_t> payload);

    // Drops every queued payload (the listen channel connected anew).
    void vClearQueue() { m_queue.vClear(); }

    int iQueued() const { return m_queue.iCount(); }
    bool fgIsPlaying() const { return m_waveOut.fgIsOpen(); }
    SAudioStats sStats() const;

  private:
    void AudioOutProc(std::stop_token stop);
    void vPlayPayload(const std::vector<std::uint8_t>& payload);

    CWaveOut m_waveOut;
    CAmrDecoder m_decoder;
    CPacketQueue<std::vector<std::uint8_t>> m_queue{kQueueMax};
    std::atomic<int> m_iFramesDecoded = 0;
    std::atomic<int> m_iFramesPlayed = 0;
    std::atomic<int> m_iFramesDropped = 0;
    std::atomic<int> m_iBytesLeftOver = 0;
    CWorker m_worker;
};
