#include "media/listen_probe.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "media/audio_ctrl.h"
#include "media/ba_network.h"
#include "media/pcm_sink.h"
#include "media/stream_session.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kStopPoll = std::chrono::milliseconds(50);

// Sums what would be played and hands every buffer back at once.
class CLevelSink final : public IPcmSink {
  public:
    bool fgOpen(FnPlayed fnPlayed) override {
        std::lock_guard guard(m_lock);
        m_fnPlayed = std::move(fnPlayed);
        return true;
    }
    bool fgQueue(int bufferId, std::span<const std::int16_t> samples) override {
        FnPlayed played;
        {
            std::lock_guard guard(m_lock);
            for (const std::int16_t sample : samples) {
                m_dSquares += static_cast<double>(sample) * sample;
            }
            m_lSamples += static_cast<long>(samples.size());
            ++m_iFrames;
            played = m_fnPlayed;
        }
        m_changed.notify_all();
        if (played) {
            played(bufferId);
        }
        return true;
    }
    void vClose() override {
        std::lock_guard guard(m_lock);
        m_fnPlayed = nullptr;
    }

    // Records a refusal of the stream login.
    void vRefused(std::int32_t result) {
        {
            std::lock_guard guard(m_lock);
            if (!m_refusedWith) {
                m_refusedWith = result;
            }
        }
        m_changed.notify_all();
    }

    EListenOutcome eWait(int framesWanted, Clock::time_point deadline,
                         const std::stop_token& stop) {
        std::unique_lock guard(m_lock);
        while (true) {
            if (m_iFrames >= framesWanted) {
                return EListenOutcome::kSound;
            }
            if (m_refusedWith) {
                return EListenOutcome::kRefused;
            }
            if (stop.stop_requested()) {
                return EListenOutcome::kStopped;
            }
            const Clock::time_point now = Clock::now();
            if (now >= deadline) {
                return EListenOutcome::kTooLittle;
            }
            m_changed.wait_until(guard, std::min(deadline, now + kStopPoll));
        }
    }

    void vFill(CListenResult& result) {
        std::lock_guard guard(m_lock);
        result.m_iRefusedWith = m_refusedWith.value_or(0);
        result.m_iFramesHeard = m_iFrames;
        result.m_dRms =
            m_lSamples > 0 ? std::sqrt(m_dSquares / static_cast<double>(m_lSamples)) : 0.0;
    }

  private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    FnPlayed m_fnPlayed;
    std::optional<std::int32_t> m_refusedWith;
    double m_dSquares = 0;
    long m_lSamples = 0;
    int m_iFrames = 0;
};

}  // namespace

CListenResult sListenBriefly(std::uint32_t addrNet, const CListenRequest& request,
                             const std::stop_token& stop) {
    const Clock::time_point start = Clock::now();
    CListenResult result;
    CLevelSink sink;
    {
        // Declared so that the client stops before the controller it feeds goes away.
        CAudioCtrl audio(&sink);
        CStreamSession session(kStreamListen);
        session.vSetMediaConsumer(
            [&audio](const CMediaHead& head, std::span<const std::uint8_t> packet) {
                if (head.m_uiType == kPktAudioFrame) {
                    audio.iAddPacket(packet.subspan(kMediaHeadBytes));
                }
            });
        session.vSetOtherConsumer([&sink](std::span<const std::uint8_t> packet) {
            const std::optional<CMediaHead> head = sParseMediaHead(packet);
            if (head && head->m_iResult != kStreamResultOk &&
                (head->m_uiType == kPktLoginReply || head->m_uiType == kPktAuthReply)) {
                sink.vRefused(head->m_iResult);
            }
        });
        // Sound queued before a reconnect is stale.
        session.vSetStartedConsumer([&audio](int) { audio.vClearQueue(); });
        CSteadyStreamClock clock;
        CBaNetwork client(clock);
        client.BaNetwork_StartStream(
            kStreamListen, session,
            sMakeStreamCredentials(request.m_strUser, request.m_strPassword), addrNet);
        result.m_eOutcome =
            sink.eWait(request.m_iFramesWanted,
                       start + std::chrono::milliseconds(request.m_iTimeLimitMs), stop);
    }
    sink.vFill(result);
    result.m_lElapsedMs = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    return result;
}
