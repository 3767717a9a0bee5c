#include "cli/stream_tally.h"

#include <cstdio>

#include "cli/cli_runner.h"

void CStreamTally::vOnStreamPacket(int, std::span<const std::uint8_t> packet) {
    const CMediaHead head = *sParseMediaHead(packet);
    std::lock_guard guard(m_lock);
    if (head.m_uiType == kPktLoginReply || head.m_uiType == kPktAuthReply) {
        // The first refusal tells why; the replies after it only repeat it.
        if (head.m_iResult != kStreamResultOk && !m_refusedWith) {
            m_refusedWith = head.m_iResult;
            m_changed.notify_all();
        }
        return;
    }
    const Clock::time_point now = Clock::now();
    if (m_iFrames == 0) {
        m_first = now;
    }
    m_last = now;
    ++m_iFrames;
    m_iKeyFrames += head.m_ucKeyFrame != 0 ? 1 : 0;
    m_ulPayloadBytes += head.m_uiPayloadBytes;
    if (m_lastSequence && head.m_uiSequence != *m_lastSequence + 1) {
        ++m_iGaps;
    }
    m_lastSequence = head.m_uiSequence;
    if (m_onPayload) {
        m_onPayload(packet.subspan(kMediaHeadBytes));
    }
}

void CStreamTally::vOnStreamStarted(int) {
    std::lock_guard guard(m_lock);
    ++m_iConnects;
    // A new connection numbers its packets afresh.
    m_lastSequence.reset();
}

void CStreamTally::vWait(Clock::time_point deadline) {
    std::unique_lock guard(m_lock);
    m_changed.wait_until(guard, deadline, [this] { return m_refusedWith.has_value(); });
}

int CStreamTally::iReport(std::ostream& out, const char* streamName) {
    std::lock_guard guard(m_lock);
    const double spanSeconds = std::chrono::duration<double>(m_last - m_first).count();
    const double fps =
        m_iFrames > 1 && spanSeconds > 0 ? static_cast<double>(m_iFrames - 1) / spanSeconds : 0;
    const double kbits =
        spanSeconds > 0 ? static_cast<double>(m_ulPayloadBytes) * 8 / 1000 / spanSeconds : 0;
    char rates[96];
    std::snprintf(rates, sizeof rates, "fps: %.1f\nbit rate: %.0f kbit/s\n", fps, kbits);
    out << "stream: " << streamName << '\n'
        << "frames: " << m_iFrames << '\n'
        << "key frames: " << m_iKeyFrames << '\n'
        << rates << "gaps: " << m_iGaps << '\n'
        << "reconnects: " << (m_iConnects > 0 ? m_iConnects - 1 : 0) << '\n';
    if (m_iFrames > 0) {
        return kCliOk;
    }
    if (m_refusedWith) {
        out << "login refused: " << *m_refusedWith << '\n';
        return kCliDeviceFailed;
    }
    return kCliNoAnswer;
}

long CStreamTally::iPackets() {
    std::lock_guard guard(m_lock);
    return m_iFrames;
}

long CStreamTally::iGaps() {
    std::lock_guard guard(m_lock);
    return m_iGaps;
}

int CStreamTally::iReconnects() {
    std::lock_guard guard(m_lock);
    return m_iConnects > 0 ? m_iConnects - 1 : 0;
}

std::optional<std::int32_t> CStreamTally::sRefusedWith() {
    std::lock_guard guard(m_lock);
    return m_refusedWith;
}
