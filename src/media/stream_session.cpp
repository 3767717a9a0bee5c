#include "media/stream_session.h"

#include <cstdio>

#include "media/stream_recorder.h"

namespace {

double dSeconds(std::chrono::nanoseconds span) {
    return std::chrono::duration<double>(span).count();
}

}  // namespace

CStreamSession::CStreamSession(int streamId) : m_iStreamId(streamId), m_begin(Clock::now()) {}

void CStreamSession::vSetRecorder(std::shared_ptr<CStreamRecorder> recorder) {
    std::lock_guard guard(m_recorderLock);
    m_recorder = std::move(recorder);
}

void CStreamSession::vBegin() {
    std::lock_guard guard(m_lock);
    m_stats = {};
    m_iConnects = 0;
    m_lastSequence.reset();
    m_begin = Clock::now();
    m_firstMedia.reset();
    m_lastMedia.reset();
    m_stalled = {};
    m_firstStall.reset();
}

void CStreamSession::vOnStreamPacket(int, std::span<const std::uint8_t> packet) {
    const std::optional<CMediaHead> head = sParseMediaHead(packet);
    if (!head) {
        return;
    }
    const bool video = head->m_uiType == kPktVideoFrame;
    const bool media = video || head->m_uiType == kPktAudioFrame;
    if (!media) {
        if (head->m_uiType == kPktLoginReply || head->m_uiType == kPktAuthReply) {
            // The first refusal tells why; the replies after it only repeat it.
            std::lock_guard guard(m_lock);
            if (head->m_iResult != kStreamResultOk && !m_stats.m_refusedWith) {
                m_stats.m_refusedWith = head->m_iResult;
                m_changed.notify_all();
            }
        }
        if (m_fnOther) {
            m_fnOther(packet);
        }
        return;
    }
    const std::span<const std::uint8_t> payload = packet.subspan(kMediaHeadBytes);
    {
        const Clock::time_point now = Clock::now();
        std::lock_guard guard(m_lock);
        // The wait for the first packet is the connect's, not a stall.
        if (m_lastMedia && now - *m_lastMedia > kStallGap) {
            m_stalled += now - *m_lastMedia;
            if (!m_firstStall) {
                m_firstStall = *m_lastMedia;
            }
        }
        if (!m_firstMedia) {
            m_firstMedia = now;
        }
        m_lastMedia = now;
        ++m_stats.m_lFrames;
        m_stats.m_lVideoFrames += video ? 1 : 0;
        m_stats.m_lKeyFrames += head->m_ucKeyFrame != 0 ? 1 : 0;
        m_stats.m_ulPayloadBytes += payload.size();
        if (m_lastSequence && head->m_uiSequence != *m_lastSequence + 1) {
            ++m_stats.m_lGaps;
        }
        m_lastSequence = head->m_uiSequence;
    }
    std::shared_ptr<CStreamRecorder> recorder;
    {
        std::lock_guard guard(m_recorderLock);
        recorder = m_recorder;
    }
    if (recorder != nullptr) {
        if (m_iStreamId == kStreamListen && !video) {
            recorder->vAddAmr(payload);
        } else if (m_iStreamId != kStreamListen && video && head->m_ucCodec == kCodecH264) {
            recorder->vAddVideo(head->m_ucKeyFrame != 0, payload);
        }
    }
    if (m_fnMedia) {
        m_fnMedia(*head, packet);
    }
}

void CStreamSession::vOnStreamStarted(int streamId) {
    {
        std::lock_guard guard(m_lock);
        ++m_iConnects;
        m_stats.m_iReconnects = m_iConnects > 0 ? m_iConnects - 1 : 0;
        // A new connection numbers its packets afresh.
        m_lastSequence.reset();
    }
    if (m_fnStarted) {
        m_fnStarted(streamId);
    }
}

void CStreamSession::vOnManageStarted() {
    if (m_fnManageStarted) {
        m_fnManageStarted();
    }
}

void CStreamSession::vOnManageEnded() {
    if (m_fnManageEnded) {
        m_fnManageEnded();
    }
}

bool CStreamSession::fgWaitRefused(Clock::time_point deadline, const std::stop_token& stop) {
    std::unique_lock guard(m_lock);
    // The stop is looked at every 50 ms: the waits of the line check end early with it.
    constexpr auto kStopPoll = std::chrono::milliseconds(50);
    while (!m_stats.m_refusedWith && !stop.stop_requested()) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            break;
        }
        m_changed.wait_until(guard, std::min(deadline, now + kStopPoll));
    }
    return m_stats.m_refusedWith.has_value();
}

CStreamStats CStreamSession::sStats() {
    return sStats(Clock::now());
}

CStreamStats CStreamSession::sStats(Clock::time_point end) {
    std::lock_guard guard(m_lock);
    CStreamStats stats = m_stats;
    std::chrono::nanoseconds stalled = m_stalled;
    std::optional<Clock::time_point> firstStall = m_firstStall;
    if (m_lastMedia && end - *m_lastMedia > kStallGap) {
        stalled += end - *m_lastMedia;
        if (!firstStall) {
            firstStall = *m_lastMedia;
        }
    }
    if (m_firstMedia) {
        stats.m_dMediaSeconds = dSeconds(*m_lastMedia - *m_firstMedia);
    }
    stats.m_dStalledSeconds = dSeconds(stalled);
    if (firstStall) {
        stats.m_dStoppedAfterSeconds = dSeconds(*firstStall - m_begin);
    }
    return stats;
}

std::string strStallLine(const CStreamStats& stats, int secondsAsked) {
    if (!stats.m_dStoppedAfterSeconds) {
        return {};
    }
    char line[96];
    std::snprintf(line, sizeof line, "media stopped after %.1f s of %d",
                  *stats.m_dStoppedAfterSeconds, secondsAsked);
    return line;
}

bool fgMostlyStalled(const CStreamStats& stats, int secondsAsked) {
    return stats.m_dStalledSeconds * 2 > secondsAsked;
}
