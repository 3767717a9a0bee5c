#include "media/audio_ctrl.h"

#include <array>
#include <chrono>

#include "app/log.h"

CAudioCtrl::CAudioCtrl(IPcmSink* sink) : m_waveOut(sink) {
    KLOG_INFO("######");
    // Without its thread nothing is played; the queue stays bounded and the failure
    // is in the log.
    (void)m_worker.sStart("audio-play", [this](std::stop_token stop) { AudioOutProc(stop); });
}

CAudioCtrl::~CAudioCtrl() {
    // The decoder and the player it writes to are released only once it has ended.
    m_worker.vStop(kStopWaitMs);
    KLOG_INFO("close");
    m_queue.vClear();
    m_waveOut.vClose();
}

int CAudioCtrl::iAddPacket(std::span<const std::uint8_t> payload) {
    if (payload.empty()) {
        return 0;
    }
    return m_queue.iAdd(std::vector<std::uint8_t>(payload.begin(), payload.end()));
}

SAudioStats CAudioCtrl::sStats() const {
    return SAudioStats{m_iFramesDecoded.load(), m_iFramesPlayed.load(), m_iFramesDropped.load(),
                       m_iBytesLeftOver.load()};
}

void CAudioCtrl::AudioOutProc(std::stop_token stop) {
    std::vector<std::uint8_t> payload;
    while (m_queue.fgWaitGet(stop, payload)) {
        vPlayPayload(payload);
    }
    KLOG_INFO("exit");
}

void CAudioCtrl::vPlayPayload(const std::vector<std::uint8_t>& payload) {
    const std::size_t frames = payload.size() / kAmrFrameBytes;
    const std::size_t leftOver = payload.size() % kAmrFrameBytes;
    if (leftOver != 0) {
        // A part frame would make the decoder read past the payload; it is left out.
        KLOG_ERR("payload %zu bytes, last %zu not a whole frame", payload.size(), leftOver);
        m_iBytesLeftOver += static_cast<int>(leftOver);
    }
    std::array<std::int16_t, kAmrFrameSamples> samples{};
    for (std::size_t frame = 0; frame < frames; ++frame) {
        const std::span<const std::uint8_t, kAmrFrameBytes> bytes(
            payload.data() + frame * kAmrFrameBytes, kAmrFrameBytes);
        if (!m_decoder.fgDecode(bytes, samples)) {
            continue;
        }
        ++m_iFramesDecoded;
        const int written = m_waveOut.iWrite(samples);
        if (written == 0) {
            ++m_iFramesPlayed;
        } else if (written == -2) {
            ++m_iFramesDropped;
        }
    }
}
