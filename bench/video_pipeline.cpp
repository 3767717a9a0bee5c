// The live view's video path on a 1080p stream: decode time per frame; colour
// conversion time per frame for the table code and for libswscale on the same frames,
// with their ratio (goal: at most 1.5); and the delay from a packet's arrival in the
// queue to its picture waiting in the mailbox, at 30 frames per second (goal: median
// at most 40 ms, 99th percentile at most 80 ms, no packet refused).
// Usage: video_pipeline [seconds of the 30 fps run, default 10]
extern "C" {
#include <libavutil/cpu.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "media/h264_docoder.h"
#include "media/video_ctrl.h"
#include "media/yuv_to_rgb.h"
#include "support/media_clips.h"

namespace {

using SClock = std::chrono::steady_clock;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kClipFrames = 60;
constexpr int kGop = 30;
constexpr int kConvertFrames = 8;
constexpr int kConvertRounds = 10;

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

struct SSwsFree {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};

}  // namespace

int main(int argc, char** argv) {
    setenv("KESTREL_LOG", "/dev/null", 0);
    const int runSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

    std::printf("encoding %d frames of %dx%d...\n", kClipFrames, kWidth, kHeight);
    const auto units = vecEncodeH264(EClip::Moving, kWidth, kHeight, kClipFrames, kGop);
    if (units.size() != kClipFrames) {
        std::fprintf(stderr, "encoding failed\n");
        return 1;
    }

    std::size_t clipBytes = 0;
    for (const auto& unit : units) {
        clipBytes += unit.size();
    }
    std::printf("clip: key frame %zu kB, mean access unit %zu kB\n", units[0].size() / 1024,
                clipBytes / units.size() / 1024);

    // Decode: every access unit once; keep a few pictures for the conversions.
    CH264Docoder decoder;
    std::vector<std::uint8_t> buffer(kPictureBufferBytes);
    std::vector<double> decodeMs;
    std::vector<std::vector<std::uint8_t>> pictures;
    for (std::size_t unit = 0; unit < units.size(); ++unit) {
        int width = 0;
        int height = 0;
        const auto start = SClock::now();
        const int result =
            decoder.iDecode(units[unit], static_cast<std::uint32_t>(unit), buffer, width, height);
        decodeMs.push_back(dMs(SClock::now() - start));
        if (result != 1) {
            std::fprintf(stderr, "frame %zu did not decode\n", unit);
            return 1;
        }
        if (pictures.size() < kConvertFrames && unit % (kClipFrames / kConvertFrames) == 0) {
            pictures.emplace_back(
                buffer.begin(),
                buffer.begin() + static_cast<std::ptrdiff_t>(uiPictureBytes(kWidth, kHeight)));
        }
    }
    std::printf("decode per 1080p frame: median %.2f ms, p99 %.2f ms\n", dPercentile(decodeMs, 0.5),
                dPercentile(decodeMs, 0.99));

    // Conversion: the table code and libswscale, alternating on the same pictures into
    // the same byte order; libswscale once with its SIMD code and once with its plain C
    // code, the same kind of code as the table conversion.
    const CYuvToRgb converter;
    const CYuvToRgb portable(CYuvToRgb::ECode::Portable);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(kWidth * kHeight * 4));
    const auto convertMs = [&](bool simd) {
        av_force_cpu_flags(simd ? -1 : 0);
        std::unique_ptr<SwsContext, SSwsFree> sws(
            sws_getContext(kWidth, kHeight, AV_PIX_FMT_YUV420P, kWidth, kHeight, AV_PIX_FMT_RGB0,
                           SWS_POINT, nullptr, nullptr, nullptr));
        av_force_cpu_flags(-1);
        std::vector<double> tableMs;
        std::vector<double> portableMs;
        std::vector<double> swsMs;
        for (int round = 0; round < kConvertRounds; ++round) {
            for (const auto& yuv : pictures) {
                const SYuvPicture picture = sPackedPicture(yuv, kWidth, kHeight);
                auto start = SClock::now();
                converter.iConvert(picture, rgb, kWidth * 4);
                tableMs.push_back(dMs(SClock::now() - start));
                start = SClock::now();
                portable.iConvert(picture, rgb, kWidth * 4);
                portableMs.push_back(dMs(SClock::now() - start));

                const std::uint8_t* const planes[3] = {picture.pLuma, picture.pChroma2,
                                                       picture.pChroma1};
                const int strides[3] = {kWidth, kWidth / 2, kWidth / 2};
                std::uint8_t* const out[1] = {rgb.data()};
                const int outStride[1] = {kWidth * 4};
                start = SClock::now();
                sws_scale(sws.get(), planes, strides, 0, kHeight, out, outStride);
                swsMs.push_back(dMs(SClock::now() - start));
            }
        }
        // The fastest round of each is the one least disturbed by other work on the
        // machine.
        const double table = dPercentile(tableMs, 0.0);
        const double swscale = dPercentile(swsMs, 0.0);
        std::printf(
            "convert per 1080p frame (fastest of %zu): table %.2f ms (portable code "
            "%.2f ms), libswscale (%s) %.2f ms, ratio %.2f (goal <= 1.5)\n",
            tableMs.size(), table, dPercentile(portableMs, 0.0), simd ? "SIMD" : "plain C", swscale,
            table / swscale);
    };
    convertMs(true);
    convertMs(false);

    // Queue to mailbox at 30 frames per second, the clip looped.
    std::mutex lock;
    std::vector<SClock::time_point> added(static_cast<std::size_t>(runSeconds * 30));
    std::vector<double> delayMs;
    CPictureMailbox mailbox;
    CVideoCtrl ctrl(mailbox, {}, [&](std::uint32_t seq) {
        const auto now = SClock::now();
        std::lock_guard guard(lock);
        delayMs.push_back(dMs(now - added[seq]));
    });
    ctrl.iStartDecodeAndDisplay();
    int refused = 0;
    const auto begin = SClock::now();
    for (std::size_t seq = 0; seq < added.size(); ++seq) {
        std::this_thread::sleep_until(begin + seq * std::chrono::microseconds(33'333));
        {
            std::lock_guard guard(lock);
            added[seq] = SClock::now();
        }
        if (ctrl.iAddFrame(units[seq % units.size()], static_cast<std::uint32_t>(seq)) != 0) {
            ++refused;
        }
    }
    const auto drainDeadline = SClock::now() + std::chrono::seconds(5);
    while (ctrl.iQueued() > 0 && SClock::now() < drainDeadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ctrl.iStopDecodeAndDisplay();
    std::lock_guard guard(lock);
    std::printf(
        "queue to mailbox at 30 fps for %d s: %zu pictures, median %.2f ms, p99 %.2f ms, "
        "refused %d (goal: median <= 40, p99 <= 80, none refused)\n",
        runSeconds, delayMs.size(), dPercentile(delayMs, 0.5), dPercentile(delayMs, 0.99), refused);
    return 0;
}
