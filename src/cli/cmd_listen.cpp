#include "cli/cmd_listen.h"

#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "cli/cli_runner.h"
#include "cli/media_args.h"
#include "media/audio_ctrl.h"
#include "media/ba_network.h"
#include "media/pcm_sink.h"
#include "media/stream_recorder.h"
#include "media/stream_session.h"
#include "protocol/requests.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kMaxSeconds = 3600;
// Room for sound beyond the asked seconds: what was under way when the time was up.
constexpr int kSlackSeconds = 2;
// How long the decoding of what arrived may take after the channel has stopped.
constexpr auto kDrainWait = std::chrono::seconds(5);

// The output device of the CLI: hands every buffer (up to a bound) to the WAV
// recording and back at once. Called on the audio thread.
class CPcmToRecording final : public IPcmSink {
  public:
    CPcmToRecording(CStreamRecorder& recorder, std::size_t maxSamples)
        : m_recorder(recorder), m_iMaxSamples(maxSamples) {}

    bool fgOpen(FnPlayed fnPlayed) override {
        m_fnPlayed = std::move(fnPlayed);
        return true;
    }
    bool fgQueue(int bufferId, std::span<const std::int16_t> samples) override {
        bool keep = false;
        {
            std::lock_guard guard(m_lock);
            keep = m_iSamples + samples.size() <= m_iMaxSamples;
            (keep ? m_iSamples : m_iFramesOver) += keep ? samples.size() : 1;
            ++m_iFrames;
        }
        if (keep) {
            m_recorder.vAddSamples(samples);
        }
        m_changed.notify_all();
        m_fnPlayed(bufferId);
        return true;
    }
    void vClose() override {}

    // Waits until `frames` frames have come, or until the deadline; whether they came.
    bool fgWaitFrames(long frames, Clock::time_point deadline) {
        std::unique_lock guard(m_lock);
        return m_changed.wait_until(guard, deadline, [&] { return m_iFrames >= frames; });
    }
    // Frames beyond the bound, not kept.
    long iFramesOver() {
        std::lock_guard guard(m_lock);
        return static_cast<long>(m_iFramesOver);
    }
    std::size_t iSamples() {
        std::lock_guard guard(m_lock);
        return m_iSamples;
    }

  private:
    CStreamRecorder& m_recorder;
    const std::size_t m_iMaxSamples;
    FnPlayed m_fnPlayed;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::size_t m_iSamples = 0;
    long m_iFrames = 0;
    std::size_t m_iFramesOver = 0;
};

}  // namespace

int iListenCommand(const CCliOptions& options, std::ostream& out, std::ostream& err) {
    std::string error;
    const std::optional<CMediaArgs> args = sParseMediaArgs(
        options.m_args, {"listen", 0, kMaxSeconds, "--out", "--out FILE.wav"}, error);
    if (!args) {
        err << "kestrel-cli: " << error << '\n';
        return kCliUsage;
    }
    // Opened first: a file that cannot be written is known before the recording.
    CStreamRecorder recorder(args->m_strFile, ERecordFormat::kWav);
    if (!recorder.fgOpen(error)) {
        err << "kestrel-cli: " << error << '\n';
        return kCliSetupFailed;
    }
    const std::string password =
        options.m_strPassword.empty() ? std::string(kDefaultDevPassword) : options.m_strPassword;
    CPcmToRecording sink(recorder, static_cast<std::size_t>(args->m_iSeconds + kSlackSeconds) *
                                       kPcmSamplesPerSecond);
    long framesQueued = 0;
    long framesRefused = 0;
    SAudioStats stats;
    CStreamSession session(kStreamListen);
    const Clock::time_point end = Clock::now() + std::chrono::seconds(args->m_iSeconds);
    {
        CAudioCtrl audio(&sink);
        // Only the receive thread touches the two counts until the client has stopped.
        session.vSetMediaConsumer(
            [&](const CMediaHead& head, std::span<const std::uint8_t> packet) {
                if (head.m_uiType != kPktAudioFrame) {
                    return;
                }
                const auto payload = packet.subspan(kMediaHeadBytes);
                const long frames = static_cast<long>(payload.size() / kAmrFrameBytes);
                (audio.iAddPacket(payload) == 0 ? framesQueued : framesRefused) += frames;
            });
        {
            CSteadyStreamClock clock;
            CBaNetwork client(clock);
            session.vBegin();
            client.BaNetwork_StartStream(kStreamListen, session,
                                         sMakeStreamCredentials("admin", password), args->m_uiAddr);
            session.fgWaitRefused(end);
        }
        if (!sink.fgWaitFrames(framesQueued, Clock::now() + kDrainWait)) {
            err << "kestrel-cli: the sound was not all decoded in time\n";
        }
        stats = audio.sStats();
    }
    const CStreamStats streamStats = session.sStats(std::min(end, Clock::now()));
    const CRecordingEnd recording = recorder.sClose();
    const std::size_t samples = sink.iSamples();
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f",
                  static_cast<double>(samples) / kPcmSamplesPerSecond);
    out << "stream: listen\n"
        << "packets: " << streamStats.m_lFrames << '\n'
        << "frames: " << samples / kAmrFrameSamples << '\n'
        << "seconds: " << seconds << '\n'
        << "gaps: " << streamStats.m_lGaps << '\n'
        << "dropped frames: "
        << framesRefused + stats.iFramesDropped + sink.iFramesOver() +
               (framesQueued - stats.iFramesDecoded)
        << '\n'
        << "reconnects: " << streamStats.m_iReconnects << '\n';
    return iStreamRunEnd(streamStats, samples > 0, args->m_iSeconds, args->m_strFile, &recording,
                         out, err);
}
