#include "media/video_ctrl.h"

#include <chrono>

#include "app/dbg_print.h"

CVideoCtrl::CVideoCtrl(CPictureMailbox& mailbox, FnOtherPacket fnOtherPacket,
                       FnPictureReady fnPictureReady)
    : m_mailbox(mailbox),
      m_fnOtherPacket(std::move(fnOtherPacket)),
      m_fnPictureReady(std::move(fnPictureReady)) {}

CVideoCtrl::~CVideoCtrl() {
    if (fgIsRunning()) {
        iStopDecodeAndDisplay();
    }
    vDbgPrint("camkit:%s, %d=>exit\r\n", "CVideoCtrl::~CVideoCtrl", __LINE__);
}

int CVideoCtrl::iStartDecodeAndDisplay() {
    std::unique_lock guard(m_startStopLock);
    m_stopped.wait(guard, [this] { return !m_fgStopping; });
    if (m_fgRunning) {
        vDbgPrint("camkit:%s, %d=>already on\r\n", "CVideoCtrl::iStartDecodeAndDisplay", __LINE__);
        return 1;
    }
    auto decoder = std::make_unique<CH264Docoder>();
    if (!decoder->fgIsOpen()) {
        return -1;
    }
    m_decoder = std::move(decoder);
    m_queue.vClear();
    vDbgPrint("camkit:%s, %d=>DisplayInitial\n\r\n", "CVideoCtrl::iStartDecodeAndDisplay",
              __LINE__);
    m_pictureBuffer.assign(kPictureBufferBytes, 0);

    std::promise<void> exited;
    m_threadExited = exited.get_future();
    m_thread = std::jthread([this, exited = std::move(exited)](std::stop_token stop) mutable {
        DisplayProc(stop);
        exited.set_value();
    });
    m_fgRunning = true;
    return 0;
}

int CVideoCtrl::iStopDecodeAndDisplay() {
    std::unique_lock guard(m_startStopLock);
    // A stop under way finishes first; then this one finds nothing running.
    m_stopped.wait(guard, [this] { return !m_fgStopping; });
    m_fgStopping = true;
    std::jthread thread = std::move(m_thread);
    std::future<void> exited = std::move(m_threadExited);
    // The wait for the decode thread holds no lock: a caller asking whether decoding
    // runs is not kept waiting by a slow decode.
    guard.unlock();
    if (thread.joinable()) {
        thread.request_stop();
        if (exited.wait_for(std::chrono::milliseconds(kStopWaitMs)) != std::future_status::ready) {
            // The decoder and the buffers it works on are freed only once it has ended.
            vDbgPrint("camkit:err:%s, %d=>decode thread busy after %d ms, waiting for it\r\n",
                      "CVideoCtrl::iStopDecodeAndDisplay", __LINE__, kStopWaitMs);
        }
        thread.join();
    }
    guard.lock();
    vDbgPrint("camkit:%s, %d=>RenderRelease\n\r\n", "CVideoCtrl::iStopDecodeAndDisplay", __LINE__);
    std::vector<std::uint8_t>().swap(m_pictureBuffer);
    m_picture = SRgbPicture{};
    m_mailbox.vClear();
    if (m_decoder) {
        m_decoder.reset();
    } else {
        vDbgPrint("camkit:%s, %d=>already destroy\r\n", "CVideoCtrl::iStopDecodeAndDisplay",
                  __LINE__);
    }
    m_queue.vClear();
    m_fgRunning = false;
    m_fgStopping = false;
    guard.unlock();
    m_stopped.notify_all();
    vDbgPrint("camkit:%s, %d=>stop\r\n", "CVideoCtrl::iStopDecodeAndDisplay", __LINE__);
    return 0;
}

bool CVideoCtrl::fgIsRunning() const {
    return m_fgRunning;
}

int CVideoCtrl::iAddFrame(std::span<const std::uint8_t> accessUnit, std::uint32_t seq) {
    return m_queue.iAdd(
        SVideoPacket{SVideoPacket::EKind::Frame, seq,
                     std::vector<std::uint8_t>(accessUnit.begin(), accessUnit.end())});
}

int CVideoCtrl::iAddOther(std::span<const std::uint8_t> packet) {
    return m_queue.iAdd(SVideoPacket{SVideoPacket::EKind::Other, 0,
                                     std::vector<std::uint8_t>(packet.begin(), packet.end())});
}

void CVideoCtrl::DisplayProc(std::stop_token stop) {
    SVideoPacket packet;
    while (m_queue.fgWaitGet(stop, packet)) {
        if (packet.eKind == SVideoPacket::EKind::Other) {
            if (m_fnOtherPacket) {
                m_fnOtherPacket(packet.bytes);
            }
        } else if (packet.bytes.empty()) {
            vDbgPrint("camkit:%s, %d=>pVideoFrame->head.len=%d\n\r\n", "CVideoCtrl::DisplayProc",
                      __LINE__, 0);
        } else {
            vShowFrame(packet);
        }
    }
    vDbgPrint("camkit:%s, %d=>exit\r\n", "CVideoCtrl::DisplayProc", __LINE__);
}

void CVideoCtrl::vShowFrame(const SVideoPacket& packet) {
    int width = 0;
    int height = 0;
    if (m_decoder->iDecode(packet.bytes, packet.uiSeq, m_pictureBuffer, width, height) != 1) {
        return;
    }
    const auto rgbBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    m_picture.rgb.resize(rgbBytes);
    m_picture.iWidth = width;
    m_picture.iHeight = height;
    m_picture.uiSeq = packet.uiSeq;
    if (m_converter.iConvert(sPackedPicture(m_pictureBuffer, width, height), m_picture.rgb,
                             static_cast<std::ptrdiff_t>(width) * 4) != 0) {
        vDbgPrint("camkit:err:%s, %d=>h || w == 0\r\n", "CVideoCtrl::DisplayProc", __LINE__);
        return;
    }
    m_mailbox.vPut(m_picture);
    if (m_fnPictureReady) {
        m_fnPictureReady(packet.uiSeq);
    }
}
