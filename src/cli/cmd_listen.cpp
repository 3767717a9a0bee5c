#include "cli/cmd_listen.h"

#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "cli/media_args.h"
#include "cli/stream_tally.h"
#include "cli/verb_support.h"
#include "cli/wav_writer.h"
#include "media/audio_ctrl.h"
#include "media/ba_network.h"
#include "media/pcm_sink.h"
#include "protocol/requests.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kMaxSeconds = 3600;
// Room for sound beyond the asked seconds: what was under way when the time was up.
constexpr int kSlackSeconds = 2;
// How long the decoding of what arrived may take after the channel has stopped.
constexpr auto kDrainWait = std::chrono::seconds(5);

// The output device of the CLI: keeps every sample it is given (up to a bound) and
// hands each buffer back at once.
class CPcmCollector final : public IPcmSink {
  public:
    explicit CPcmCollector(std::size_t maxSamples) : m_iMaxSamples(maxSamples) {
        m_samples.reserve(maxSamples);
    }

    bool fgOpen(FnPlayed fnPlayed) override {
        m_fnPlayed = std::move(fnPlayed);
        return true;
    }
    bool fgQueue(int bufferId, std::span<const std::int16_t> samples) override {
        {
            std::lock_guard guard(m_lock);
            if (m_samples.size() + samples.size() <= m_iMaxSamples) {
                m_samples.insert(m_samples.end(), samples.begin(), samples.end());
            } else {
                ++m_iFramesOver;
            }
            ++m_iFrames;
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
        return m_iFramesOver;
    }
    // The samples; only once the player is closed.
    const std::vector<std::int16_t>& vecSamples() const { return m_samples; }

  private:
    const std::size_t m_iMaxSamples;
    FnPlayed m_fnPlayed;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::int16_t> m_samples;
    long m_iFrames = 0;
    long m_iFramesOver = 0;
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
    std::ofstream file(args->m_strFile, std::ios::binary | std::ios::trunc);
    if (!file) {
        err << "kestrel-cli: cannot write " << args->m_strFile << '\n';
        return kCliSetupFailed;
    }
    const std::string password =
        options.m_strPassword.empty() ? std::string(kDefaultDevPassword) : options.m_strPassword;
    CPcmCollector sink(static_cast<std::size_t>(args->m_iSeconds + kSlackSeconds) *
                       kPcmSamplesPerSecond);
    long framesQueued = 0;
    long framesRefused = 0;
    SAudioStats stats;
    std::optional<CStreamTally> tally;
    {
        CAudioCtrl audio(&sink);
        // Only the receive thread touches the two counts until the client has stopped.
        tally.emplace([&](std::span<const std::uint8_t> payload) {
            const long frames = static_cast<long>(payload.size() / kAmrFrameBytes);
            (audio.iAddPacket(payload) == 0 ? framesQueued : framesRefused) += frames;
        });
        {
            CSteadyStreamClock clock;
            CBaNetwork client(clock);
            client.BaNetwork_StartStream(kStreamListen, *tally,
                                         sMakeStreamCredentials("admin", password), args->m_uiAddr);
            tally->vWait(Clock::now() + std::chrono::seconds(args->m_iSeconds));
        }
        if (!sink.fgWaitFrames(framesQueued, Clock::now() + kDrainWait)) {
            err << "kestrel-cli: the sound was not all decoded in time\n";
        }
        stats = audio.sStats();
    }
    const std::vector<std::uint8_t> wav = bufWavMono16(sink.vecSamples(), kPcmSamplesPerSecond);
    file.write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));
    file.close();
    if (!file) {
        err << "kestrel-cli: cannot write " << args->m_strFile << '\n';
        return kCliSetupFailed;
    }
    const std::size_t samples = sink.vecSamples().size();
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f",
                  static_cast<double>(samples) / kPcmSamplesPerSecond);
    out << "stream: listen\n"
        << "packets: " << tally->iPackets() << '\n'
        << "frames: " << samples / kAmrFrameSamples << '\n'
        << "seconds: " << seconds << '\n'
        << "gaps: " << tally->iGaps() << '\n'
        << "dropped frames: "
        << framesRefused + stats.iFramesDropped + sink.iFramesOver() +
               (framesQueued - stats.iFramesDecoded)
        << '\n'
        << "reconnects: " << tally->iReconnects() << '\n';
    if (samples > 0) {
        return kCliOk;
    }
    if (const std::optional<std::int32_t> refused = tally->sRefusedWith()) {
        out << "login refused: " << *refused << '\n';
        return kCliDeviceFailed;
    }
    return kCliNoAnswer;
}
