#include "media/video_ctrl.h"

#include <chrono>

#include "app/log.h"

CVideoCtrl::CVideoCtrl(CPictureMailbox& mailbox, FnOtherPacket fnOtherPacket,
                       FnPictureReady fnPictureReady)
    : m_mailbox(mailbox),
      m_fnOtherPacket(std::move(fnOtherPacket)),
      m_fnPictureReady(std::move(fnPictureReady)) {}

CVideoCtrl::~CVideoCtrl() {
    if (fgIsRunning()) {
        iStopDecodeAndDisplay();
    }
    KLOG_INFO("exit");
}

int CVideoCtrl::iStartDecodeAndDisplay() {
    std::unique_lock guard(m_startStopLock);
    m_stopped.wait(guard, [this] { return !m_fgStopping; });
    if (m_fgRunning) {
        KLOG_INFO("already on");
        return 1;
    }
    auto decoder = std::make_unique<CH264Docoder>();
    if (!decoder->fgIsOpen()) {
        return -1;
    }
    m_decoder = std::move(decoder);
    m_queue.vClear();
    KLOG_INFO("DisplayInitial");
    m_pictureBuffer.assign(kPictureBufferBytes, 0);

    if (const auto started =
            m_worker.sStart("video-decode", [this](std::stop_token stop) { DisplayProc(stop); });
        !started) {
        m_decoder.reset();
        std::vector<std::uint8_t>().swap(m_pictureBuffer);
        return -1;
    }
    m_fgRunning = true;
    return 0;
}

int CVideoCtrl::iStopDecodeAndDisplay() {
    std::unique_lock guard(m_startStopLock);
    // A stop under way finishes first; then this one finds nothing running.
    m_stopped.wait(guard, [this] { return !m_fgStopping; });
    m_fgStopping = true;
    // The wait for the decode thread holds no lock: a caller asking whether decoding
    // runs is not kept waiting by a slow decode. Starts wait for m_fgStopping, so the
    // worker is this caller's alone meanwhile. The decoder and the buffers it works on
    // are freed only once it has ended, however long that takes.
    guard.unlock();
    m_worker.vStop(kStopWaitMs);
    guard.lock();
    KLOG_INFO("RenderRelease");
    std::vector<std::uint8_t>().swap(m_pictureBuffer);
    m_picture = SRgbPicture{};
    m_mailbox.vClear();
    if (m_decoder) {
        m_decoder.reset();
    } else {
        KLOG_INFO("already destroy");
    }
    m_queue.vClear();
    m_fgRunning = false;
    m_fgStopping = false;
    guard.unlock();
    m_stopped.notify_all();
    KLOG_INFO("stop");
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
            KLOG_INFO("pVideoFrame->head.len=%d", 0);
        } else {
            vShowFrame(packet);
        }
    }
    KLOG_INFO("exit");
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
        KLOG_ERR("h || w == 0");
        return;
    }
    m_mailbox.vPut(m_picture);
    if (m_fnPictureReady) {
        m_fnPictureReady(packet.uiSeq);
    }
}
