#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <stop_token>
#include <vector>

#include "app/worker.h"
#include "media/h264_docoder.h"
#include "media/packet_queue.h"
#include "media/picture_mailbox.h"
#include "media/yuv_to_rgb.h"

// One packet of the video channel as the decode thread takes it.
struct SVideoPacket {
    enum class EKind {
        Frame,  // bytes: one H.264 access unit (the packet's payload)
        Other,  // bytes: the whole packet as received, handed back untouched
    };
    EKind eKind = EKind::Frame;
    std::uint32_t uiSeq = 0;  // frame sequence number, named in the log when decoding fails
    std::vector<std::uint8_t> bytes;
};

// Decoding of the live view: a bounded queue of the video channel's packets, one decode
// thread, one H.264 decoder and the colour conversion. Each decoded picture is
// converted into the mailbox (newest wins) and announced through the picture-ready
// callback with its frame's sequence number; the painting side takes it from the mailbox when it
// paints. Packets that are not video frames are handed back through the other-packet callback, in
// queue order between the frames.
//
// Threads: packets may be added from any thread at any time (typically the stream's
// receive thread); start, stop and destruction may run on any thread and are
// serialised by a lock the decode thread never takes and that no one holds while a
// stop waits for the decode thread. Both callbacks run on the decode
// thread, must return promptly and must not call start or stop.
class CVideoCtrl {
  public:
    using FnOtherPacket = std::function<void(std::span<const std::uint8_t> packet)>;
    using FnPictureReady = std::function<void(std::uint32_t seq)>;

    static constexpr int kQueueMax = 30;
    static constexpr int kStopWaitMs = 4000;

    // `mailbox` must outlive the controller. Either callback may be empty.
    CVideoCtrl(CPictureMailbox& mailbox, FnOtherPacket fnOtherPacket,
               FnPictureReady fnPictureReady);
    // Stops decoding when it runs.
    ~CVideoCtrl();
    CVideoCtrl(const CVideoCtrl&) = delete;
    CVideoCtrl& operator=(const CVideoCtrl&) = delete;

    // Creates the decoder and the picture buffer, empties the queue and starts the
    // decode thread. 0 started; 1 already running; -1 no decoder could be opened
    // (nothing started).
    int iStartDecodeAndDisplay();

    // Stops the decode thread (waiting for a decode call in progress, with a line when
    // that takes longer than kStopWaitMs), frees the decoder and the picture buffer,
    // empties the queue and forgets an untaken picture. 0, also when not running.
    int iStopDecodeAndDisplay();

    bool fgIsRunning() const;

    // Queues a copy of one video frame's access unit. 0 queued; -2 the queue holds
    // kQueueMax packets and the frame is dropped. An empty access unit is queued and
    // skipped with a line when its turn comes.
    int iAddFrame(std::span<const std::uint8_t> accessUnit, std::uint32_t seq);

    // Queues a copy of any other packet of the channel, to be handed back in order.
    // 0 queued; -2 full.
    int iAddOther(std::span<const std::uint8_t> packet);

    int iQueued() const { return m_queue.iCount(); }

  private:
    void DisplayProc(std::stop_token stop);
    void vShowFrame(const SVideoPacket& packet);

    CPictureMailbox& m_mailbox;
    const FnOtherPacket m_fnOtherPacket;
    const FnPictureReady m_fnPictureReady;
    const CYuvToRgb m_converter;
    CPacketQueue<SVideoPacket> m_queue{kQueueMax};

    // Serialises start and stop; never held while waiting for the decode thread.
    std::mutex m_startStopLock;
    std::condition_variable m_stopped;
    bool m_fgStopping = false;
    std::atomic<bool> m_fgRunning{false};
    // Used by the decode thread only while it runs; made and freed around it.
    std::unique_ptr<CH264Docoder> m_decoder;
    std::vector<std::uint8_t> m_pictureBuffer;
    SRgbPicture m_picture;
    CWorker m_worker;
};
