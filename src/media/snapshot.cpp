#include "media/snapshot.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "media/ba_network.h"
#include "media/h264_docoder.h"
#include "media/stream_session.h"
#include "media/yuv_to_rgb.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kStopPoll = std::chrono::milliseconds(50);

// The newest key frame not yet decoded, put by the session's media consumer on the
// client's receive thread.
class CKeyFrameSlot {
  public:
    void vPut(const CMediaHead& head, std::span<const std::uint8_t> packet) {
        if (head.m_uiType != kPktVideoFrame || head.m_ucKeyFrame == 0) {
            return;
        }
        {
            std::lock_guard guard(m_lock);
            const auto payload = packet.subspan(kMediaHeadBytes);
            m_keyFrame.assign(payload.begin(), payload.end());
            m_uiSequence = head.m_uiSequence;
            m_fgFresh = true;
        }
        m_changed.notify_all();
    }

    // Waits for a fresh key frame (moved into frame), a refusal or the deadline.
    enum class EWait { kFrame, kRefused, kTimeOut, kStopped };
    EWait eWait(CStreamSession& session, Clock::time_point deadline, const std::stop_token& stop,
                std::vector<std::uint8_t>& frame, std::uint32_t& sequence) {
        while (true) {
            {
                std::unique_lock guard(m_lock);
                if (m_fgFresh) {
                    m_fgFresh = false;
                    frame.swap(m_keyFrame);
                    sequence = m_uiSequence;
                    return EWait::kFrame;
                }
            }
            if (session.sStats().m_refusedWith) {
                return EWait::kRefused;
            }
            if (stop.stop_requested()) {
                return EWait::kStopped;
            }
            const Clock::time_point now = Clock::now();
            if (now >= deadline) {
                return EWait::kTimeOut;
            }
            std::unique_lock guard(m_lock);
            m_changed.wait_until(guard, std::min(deadline, now + kStopPoll),
                                 [this] { return m_fgFresh; });
        }
    }

  private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::uint8_t> m_keyFrame;
    std::uint32_t m_uiSequence = 0;
    bool m_fgFresh = false;
};

void vLumaStats(std::span<const std::uint8_t> luma, CSnapshot& shot) {
    double sum = 0;
    double squares = 0;
    for (const std::uint8_t value : luma) {
        sum += value;
        squares += static_cast<double>(value) * value;
    }
    const auto count = static_cast<double>(luma.size());
    shot.m_dLumaMean = sum / count;
    shot.m_dLumaDeviation =
        std::sqrt(std::max(0.0, squares / count - shot.m_dLumaMean * shot.m_dLumaMean));
}

// Decodes one key frame into shot; false when it gave no picture.
bool fgDecodeInto(CH264Docoder& decoder, std::vector<std::uint8_t>& yuv,
                  std::span<const std::uint8_t> keyFrame, std::uint32_t sequence, CSnapshot& shot) {
    int width = 0;
    int height = 0;
    if (yuv.empty()) {
        yuv.resize(kPictureBufferBytes);
    }
    if (decoder.iDecode(keyFrame, sequence, yuv, width, height) != 1) {
        return false;
    }
    const auto rowBytes = static_cast<std::size_t>(width) * 4;
    shot.m_rgbx.assign(rowBytes * static_cast<std::size_t>(height), 0);
    const CYuvToRgb converter;
    if (converter.iConvert(sPackedPicture(yuv, width, height), shot.m_rgbx,
                           static_cast<std::ptrdiff_t>(rowBytes)) != 0) {
        shot.m_rgbx.clear();
        return false;
    }
    shot.m_iWidth = width;
    shot.m_iHeight = height;
    vLumaStats(
        std::span(yuv).first(static_cast<std::size_t>(width) * static_cast<std::size_t>(height)),
        shot);
    return true;
}

}  // namespace

CSnapshot sGrabKeyFrame(std::uint32_t addrNet, const CSnapshotRequest& request,
                        const std::stop_token& stop) {
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + std::chrono::milliseconds(request.m_iTimeLimitMs);
    CSnapshot shot;
    CH264Docoder decoder;
    if (!decoder.fgIsOpen()) {
        shot.m_eOutcome = ESnapshotOutcome::kNoDecoder;
        return shot;
    }
    std::vector<std::uint8_t> yuv;
    CKeyFrameSlot slot;
    CStreamSession session(request.m_iStreamId);
    session.vSetMediaConsumer(
        [&slot](const CMediaHead& head, std::span<const std::uint8_t> packet) {
            slot.vPut(head, packet);
        });
    CSteadyStreamClock clock;
    {
        CBaNetwork client(clock);
        client.BaNetwork_StartStream(
            request.m_iStreamId, session,
            sMakeStreamCredentials(request.m_strUser, request.m_strPassword), addrNet);
        std::vector<std::uint8_t> keyFrame;
        std::uint32_t sequence = 0;
        bool keyFrameSeen = false;
        while (true) {
            const auto wait = slot.eWait(session, deadline, stop, keyFrame, sequence);
            if (wait == CKeyFrameSlot::EWait::kFrame) {
                keyFrameSeen = true;
                if (fgDecodeInto(decoder, yuv, keyFrame, sequence, shot)) {
                    shot.m_eOutcome = ESnapshotOutcome::kPicture;
                    break;
                }
                continue;
            }
            shot.m_eOutcome = wait == CKeyFrameSlot::EWait::kRefused   ? ESnapshotOutcome::kRefused
                              : wait == CKeyFrameSlot::EWait::kStopped ? ESnapshotOutcome::kStopped
                              : keyFrameSeen ? ESnapshotOutcome::kUndecodable
                                             : ESnapshotOutcome::kNoKeyFrame;
            break;
        }
    }
    const CStreamStats stats = session.sStats();
    shot.m_iRefusedWith = stats.m_refusedWith.value_or(0);
    shot.m_iVideoPackets = static_cast<int>(stats.m_lVideoFrames);
    shot.m_iKeyFrames = static_cast<int>(stats.m_lKeyFrames);
    shot.m_lElapsedMs = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    return shot;
}

const char* pszSnapshotOutcome(ESnapshotOutcome outcome) {
    switch (outcome) {
        case ESnapshotOutcome::kPicture:
            return "picture";
        case ESnapshotOutcome::kRefused:
            return "login refused";
        case ESnapshotOutcome::kNoKeyFrame:
            return "no key frame";
        case ESnapshotOutcome::kUndecodable:
            return "key frame did not decode";
        case ESnapshotOutcome::kNoDecoder:
            return "no H.264 decoder";
        case ESnapshotOutcome::kStopped:
            return "stopped";
    }
    return "unknown";
}
