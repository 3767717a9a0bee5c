// The live view's audio path: decode time per AMR-NB frame, and the delay from an
// audio packet's arrival in the queue to its first samples reaching the sink, with one
// packet of two frames every 40 ms (goal: median at most 60 ms).
// Usage: audio_pipeline [seconds of the real-time run, default 10]
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "media/amr_decoder.h"
#include "media/audio_ctrl.h"
#include "support/media_clips.h"

namespace {

using SClock = std::chrono::steady_clock;

constexpr int kDecodeFrames = 2000;

double dMs(SClock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

double dPercentile(std::vector<double> values, double share) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1));
    return values[index];
}

// Notes when each buffer arrives and hands it back at once.
class CTimingSink final : public IPcmSink {
  public:
    bool fgOpen(FnPlayed fnPlayed) override {
        m_fnPlayed = std::move(fnPlayed);
        return true;
    }
    bool fgQueue(int bufferId, std::span<const std::int16_t>) override {
        {
            std::lock_guard guard(m_lock);
            m_arrivals.push_back(SClock::now());
        }
        m_fnPlayed(bufferId);
        return true;
    }
    void vClose() override {}

    std::vector<SClock::time_point> vecArrivals() {
        std::lock_guard guard(m_lock);
        return m_arrivals;
    }

  private:
    FnPlayed m_fnPlayed;
    std::mutex m_lock;
    std::vector<SClock::time_point> m_arrivals;
};

}  // namespace

int main(int argc, char** argv) {
    setenv("KESTREL_LOG", "/dev/null", 0);
    const int runSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const std::vector<std::uint8_t> amr = vecEncodeAmrTone(1000.0, 8000.0, kDecodeFrames);
    if (amr.size() != kDecodeFrames * kAmrFrameBytes) {
        std::fprintf(stderr, "encoding failed\n");
        return 1;
    }

    CAmrDecoder decoder;
    std::array<std::int16_t, kAmrFrameSamples> samples{};
    const auto start = SClock::now();
    for (std::size_t frame = 0; frame < kDecodeFrames; ++frame) {
        decoder.fgDecode(std::span<const std::uint8_t, kAmrFrameBytes>(
                             amr.data() + frame * kAmrFrameBytes, kAmrFrameBytes),
                         samples);
    }
    const double perFrameUs = dMs(SClock::now() - start) * 1000.0 / kDecodeFrames;
    std::printf("decode per AMR frame: %.1f us (%.2f%% of its 20 ms)\n", perFrameUs,
                perFrameUs / 200.0);

    CTimingSink sink;
    const int packets = runSeconds * 25;
    std::vector<SClock::time_point> added(static_cast<std::size_t>(packets));
    int refused = 0;
    {
        CAudioCtrl ctrl(&sink);
        const auto begin = SClock::now();
        for (int packet = 0; packet < packets; ++packet) {
            std::this_thread::sleep_until(begin + packet * std::chrono::milliseconds(40));
            const auto at = static_cast<std::size_t>(packet) * 2 * kAmrFrameBytes %
                            (amr.size() - 2 * kAmrFrameBytes);
            added[static_cast<std::size_t>(packet)] = SClock::now();
            if (ctrl.iAddPacket(std::span(amr).subspan(at, 2 * kAmrFrameBytes)) != 0) {
                ++refused;
            }
        }
        const auto deadline = SClock::now() + std::chrono::seconds(5);
        while (ctrl.sStats().iFramesDecoded < 2 * (packets - refused) && SClock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    const std::vector<SClock::time_point> arrivals = sink.vecArrivals();
    std::vector<double> delayMs;
    for (std::size_t packet = 0; refused == 0 && 2 * packet < arrivals.size(); ++packet) {
        delayMs.push_back(dMs(arrivals[2 * packet] - added[packet]));
    }
    std::printf(
        "packet to sink, one packet of two frames per 40 ms for %d s: %zu packets, "
        "median %.2f ms, p99 %.2f ms, refused %d (goal: median <= 60)\n",
        runSeconds, delayMs.size(), dPercentile(delayMs, 0.5), dPercentile(delayMs, 0.99), refused);
    return 0;
}
