#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "media/audio_ctrl.h"
#include "support/capture_stderr.h"
#include "support/media_clips.h"
#include "support/tone_probe.h"
#include "support/wait_until.h"

namespace {

using namespace std::chrono_literals;

// Captures what would be played. A playing sink hands each buffer back at once; a
// stalled one keeps them, as an output device that stopped playing.
class CCaptureSink final : public IPcmSink {
  public:
    enum class EMode { Playing, Stalled, NoDevice };
    explicit CCaptureSink(EMode mode) : m_eMode(mode) {}

    bool fgOpen(FnPlayed fnPlayed) override {
        m_fnPlayed = std::move(fnPlayed);
        return m_eMode != EMode::NoDevice;
    }
    bool fgQueue(int bufferId, std::span<const std::int16_t> samples) override {
        {
            std::lock_guard guard(m_lock);
            m_samples.insert(m_samples.end(), samples.begin(), samples.end());
            ++m_iBuffers;
        }
        if (m_eMode == EMode::Playing) {
            m_fnPlayed(bufferId);
        }
        return true;
    }
    void vClose() override {
        std::lock_guard guard(m_lock);
        m_fgClosed = true;
    }

    std::vector<std::int16_t> vecSamples() {
        std::lock_guard guard(m_lock);
        return m_samples;
    }
    int iBuffers() {
        std::lock_guard guard(m_lock);
        return m_iBuffers;
    }
    bool fgClosed() {
        std::lock_guard guard(m_lock);
        return m_fgClosed;
    }

  private:
    const EMode m_eMode;
    FnPlayed m_fnPlayed;
    std::mutex m_lock;
    std::vector<std::int16_t> m_samples;
    int m_iBuffers = 0;
    bool m_fgClosed = false;
};

// A tone sent as packets of two frames comes out of the sink whole, two buffers per
// packet, at the frequency it was encoded with.
TEST(AudioCtrl, ToneComesThroughAtItsFrequency) {
    constexpr int kFrames = 50;
    for (const double toneHz : {440.0, 1000.0, 2500.0}) {
        SCOPED_TRACE(toneHz);
        const std::vector<std::uint8_t> amr = vecEncodeAmrTone(toneHz, 8000.0, kFrames);
        ASSERT_EQ(amr.size(), kFrames * kAmrFrameBytes);
        CCaptureSink sink(CCaptureSink::EMode::Playing);
        CAudioCtrl ctrl(&sink);
        ASSERT_TRUE(ctrl.fgIsPlaying());
        for (std::size_t at = 0; at < amr.size(); at += 2 * kAmrFrameBytes) {
            ASSERT_EQ(ctrl.iAddPacket(std::span(amr).subspan(at, 2 * kAmrFrameBytes)), 0);
        }
        ASSERT_TRUE(fgWaitUntil([&] { return sink.iBuffers() == kFrames; }));
        const std::vector<std::int16_t> samples = sink.vecSamples();
        ASSERT_EQ(samples.size(), kFrames * kAmrFrameSamples);
        // Past the decoder's first frames, the strongest frequency is the tone's.
        const auto steady = std::span(samples).subspan(5 * kAmrFrameSamples);
        EXPECT_NEAR(dStrongestHz(steady, 200.0, 3600.0, 10.0), toneHz, 15.0);
        EXPECT_EQ(ctrl.sStats().iFramesDropped, 0);
    }
}

// Every whole 32-byte frame of a payload is played, a shorter end is left out (and
// never read past), and without an output device the audio is decoded and discarded.
TEST(AudioCtrl, PlaysTheWholeFramesOfEachPayload) {
    const std::vector<std::uint8_t> amr = vecEncodeAmrTone(1000.0, 8000.0, 3);
    ASSERT_EQ(amr.size(), 3 * kAmrFrameBytes);
    struct SCase {
        std::size_t payloadBytes;
        CCaptureSink::EMode mode;
        int decoded;
        int played;
        int leftOver;
    };
    const SCase cases[] = {
        {64, CCaptureSink::EMode::Playing, 2, 2, 0},  {32, CCaptureSink::EMode::Playing, 1, 1, 0},
        {70, CCaptureSink::EMode::Playing, 2, 2, 6},  {31, CCaptureSink::EMode::Playing, 0, 0, 31},
        {64, CCaptureSink::EMode::NoDevice, 2, 0, 0},
    };
    for (const SCase& test : cases) {
        SCOPED_TRACE(test.payloadBytes);
        CCaptureSink sink(test.mode);
        CAudioCtrl ctrl(&sink);
        // The payload is its own allocation, so a read past its end is caught.
        const std::vector<std::uint8_t> payload(
            amr.begin(), amr.begin() + static_cast<std::ptrdiff_t>(test.payloadBytes));
        ASSERT_EQ(ctrl.iAddPacket(payload), 0);
        ASSERT_TRUE(fgWaitUntil([&] {
            const SAudioStats stats = ctrl.sStats();
            return stats.iFramesDecoded == test.decoded && stats.iBytesLeftOver == test.leftOver;
        }));
        EXPECT_EQ(ctrl.sStats().iFramesPlayed, test.played);
        EXPECT_EQ(sink.iBuffers(), test.played);
    }
}

// With all 50 buffers at a sink that stopped playing, further frames are dropped, not
// waited for, and closing gives up on the sink after a bounded wait instead of hanging.
TEST(AudioCtrl, StalledSinkDropsFramesAndDoesNotHoldTheClose) {
    constexpr int kFrames = CWaveOut::kBufferCount + 2;
    const std::vector<std::uint8_t> amr = vecEncodeAmrTone(1000.0, 8000.0, kFrames);
    CCaptureSink sink(CCaptureSink::EMode::Stalled);
    CCaptureStderr log;
    {
        CAudioCtrl ctrl(&sink);
        for (std::size_t at = 0; at < amr.size(); at += 2 * kAmrFrameBytes) {
            ASSERT_EQ(ctrl.iAddPacket(std::span(amr).subspan(at, 2 * kAmrFrameBytes)), 0);
        }
        ASSERT_TRUE(fgWaitUntil([&] { return ctrl.sStats().iFramesDecoded == kFrames; }));
        const SAudioStats stats = ctrl.sStats();
        EXPECT_EQ(stats.iFramesPlayed, CWaveOut::kBufferCount);
        EXPECT_EQ(stats.iFramesDropped, 2);
        EXPECT_EQ(sink.iBuffers(), CWaveOut::kBufferCount);
    }
    EXPECT_TRUE(sink.fgClosed());
    EXPECT_NE(log.text().find("=>sink kept 50 buffers after"), std::string::npos);
}

}  // namespace
