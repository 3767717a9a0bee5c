#include "devsim/sim_media.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <opencore-amrnb/interf_enc.h>
}

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <numbers>
#include <tuple>
#include <utility>

#include "app/log.h"

namespace devsim {

namespace {

constexpr std::array<std::uint8_t, 8> kBarY{180, 162, 131, 112, 84, 65, 35, 16};
constexpr std::array<std::uint8_t, 8> kBarU{128, 44, 156, 72, 184, 100, 212, 128};
constexpr std::array<std::uint8_t, 8> kBarV{128, 142, 44, 58, 198, 212, 114, 128};
constexpr std::uint8_t kWhite = 235;
constexpr std::uint8_t kBlack = 16;
constexpr std::uint8_t kNeutral = 128;
constexpr int kFrameBits = 16;

struct CCodecContextFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct CFrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct CPacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct CAmrEncoderFree {
    void operator()(void* state) const { Encoder_Interface_exit(state); }
};

// Geometry of the test picture.
struct CLayout {
    int m_iWidth = 0;
    int m_iHeight = 0;
    int m_iBandTop = 0;  // first row of the bottom band
    int m_iSide = 0;     // side of the square
    int m_iSquareTop = 0;

    CLayout(int width, int height)
        : m_iWidth(width),
          m_iHeight(height),
          m_iBandTop(height - height / 8),
          m_iSide(height / 8),
          m_iSquareTop((height - height / 8 - height / 8) / 2) {}
    int iBar(int x) const { return x * 8 / m_iWidth; }
    int iSquareLeft(int frame) const { return frame * (m_iWidth - m_iSide) / (kSimLoopFrames - 1); }
    bool fgInSquare(int frame, int x, int y) const {
        const int left = iSquareLeft(frame);
        return y >= m_iSquareTop && y < m_iSquareTop + m_iSide && x >= left && x < left + m_iSide;
    }
    bool fgBitSet(int frame, int x) const {
        const int bit = kFrameBits - 1 - x * kFrameBits / m_iWidth;
        return ((frame >> bit) & 1) != 0;
    }
};

std::uint8_t iLuma(const CLayout& layout, int frame, int x, int y) {
    if (y >= layout.m_iBandTop) {
        return layout.fgBitSet(frame, x) ? kWhite : kBlack;
    }
    if (layout.fgInSquare(frame, x, y)) {
        return kWhite;
    }
    return kBarY[static_cast<std::size_t>(layout.iBar(x))];
}

// Light grain over the bars, -kGrainMax..kGrainMax, so the picture costs as many bits
// as a camera's; the same for every run.
constexpr int kGrainMax = 6;
constexpr std::size_t kGrainPeriod = 4093;
constexpr std::size_t kWidthMax = 4096;
// One period, then repeated for the width of a row, so a row reads it without wrapping.
const std::array<std::int8_t, kGrainPeriod + kWidthMax> kGrain = [] {
    std::array<std::int8_t, kGrainPeriod + kWidthMax> grain{};
    std::uint32_t state = 12345;
    for (std::size_t i = 0; i < grain.size(); ++i) {
        state = state * 1103515245U + 12345U;
        grain[i] = i < kGrainPeriod
                       ? static_cast<std::int8_t>(
                             static_cast<int>((state >> 16) % (2 * kGrainMax + 1)) - kGrainMax)
                       : grain[i - kGrainPeriod];
    }
    return grain;
}();

// Paints row by row from two prepared rows (bars, band); the square goes on top.
void vPaint(const CLayout& layout, int frame, AVFrame& picture) {
    const auto width = static_cast<std::size_t>(layout.m_iWidth);
    std::vector<std::uint8_t> bars(width);
    std::vector<std::uint8_t> band(width);
    for (int x = 0; x < layout.m_iWidth; ++x) {
        bars[static_cast<std::size_t>(x)] = iLuma(layout, frame, x, 0);
        band[static_cast<std::size_t>(x)] = iLuma(layout, frame, x, layout.m_iBandTop);
    }
    const int left = layout.iSquareLeft(frame);
    for (int y = 0; y < layout.m_iHeight; ++y) {
        std::uint8_t* row = picture.data[0] + static_cast<std::ptrdiff_t>(y) * picture.linesize[0];
        if (y >= layout.m_iBandTop) {
            std::memcpy(row, band.data(), width);
        } else {
            // A different stretch of the grain for every row and frame.
            const std::int8_t* grain = kGrain.data() + (static_cast<std::size_t>(y) * 131 +
                                                        static_cast<std::size_t>(frame) * 977) %
                                                           kGrainPeriod;
            for (std::size_t x = 0; x < width; ++x) {
                row[x] = static_cast<std::uint8_t>(bars[x] + grain[x]);
            }
        }
        if (y >= layout.m_iSquareTop && y < layout.m_iSquareTop + layout.m_iSide) {
            std::memset(row + left, kWhite, static_cast<std::size_t>(layout.m_iSide));
        }
    }
    for (int cy = 0; cy < layout.m_iHeight / 2; ++cy) {
        std::uint8_t* rowU =
            picture.data[1] + static_cast<std::ptrdiff_t>(cy) * picture.linesize[1];
        std::uint8_t* rowV =
            picture.data[2] + static_cast<std::ptrdiff_t>(cy) * picture.linesize[2];
        for (int cx = 0; cx < layout.m_iWidth / 2; ++cx) {
            const int x = 2 * cx;
            const int y = 2 * cy;
            const bool neutral = y >= layout.m_iBandTop || layout.fgInSquare(frame, x, y);
            const auto bar = static_cast<std::size_t>(layout.iBar(x));
            rowU[cx] = neutral ? kNeutral : kBarU[bar];
            rowV[cx] = neutral ? kNeutral : kBarV[bar];
        }
    }
}

// A covered lens: black everywhere.
void vPaintBlack(const CLayout& layout, AVFrame& picture) {
    for (int y = 0; y < layout.m_iHeight; ++y) {
        std::memset(picture.data[0] + static_cast<std::ptrdiff_t>(y) * picture.linesize[0], kBlack,
                    static_cast<std::size_t>(layout.m_iWidth));
    }
    for (int plane = 1; plane <= 2; ++plane) {
        for (int cy = 0; cy < layout.m_iHeight / 2; ++cy) {
            std::memset(
                picture.data[plane] + static_cast<std::ptrdiff_t>(cy) * picture.linesize[plane],
                kNeutral, static_cast<std::size_t>(layout.m_iWidth / 2));
        }
    }
}

std::unique_ptr<AVCodecContext, CCodecContextFree> sOpenEncoder(int width, int height) {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (codec == nullptr) {
        KLOG_ERR("no libx264 encoder");
        return nullptr;
    }
    std::unique_ptr<AVCodecContext, CCodecContextFree> context(avcodec_alloc_context3(codec));
    if (!context) {
        return nullptr;
    }
    context->width = width;
    context->height = height;
    context->pix_fmt = AV_PIX_FMT_YUV420P;
    context->time_base = AVRational{1, kSimFps};
    context->framerate = AVRational{kSimFps, 1};
    context->gop_size = kSimKeyInterval;
    context->max_b_frames = 0;
    context->bit_rate = width >= 1280 ? 2'000'000 : 512'000;
    context->thread_count = 2;
    av_opt_set(context->priv_data, "preset", "ultrafast", 0);
    av_opt_set(context->priv_data, "tune", "zerolatency", 0);
    if (avcodec_open2(context.get(), codec, nullptr) < 0) {
        KLOG_ERR("cannot open the encoder for %dx%d", width, height);
        return nullptr;
    }
    return context;
}

// Sends one picture (or the end, with nullptr) and collects what comes out.
bool fgEncode(AVCodecContext& context, AVFrame* picture, AVPacket& packet,
              std::vector<CSimAccessUnit>& loop) {
    if (avcodec_send_frame(&context, picture) < 0) {
        return false;
    }
    while (true) {
        const int result = avcodec_receive_packet(&context, &packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
            return true;
        }
        if (result < 0) {
            return false;
        }
        CSimAccessUnit unit;
        unit.m_bytes.assign(packet.data, packet.data + packet.size);
        unit.m_fgKey = (packet.flags & AV_PKT_FLAG_KEY) != 0;
        loop.push_back(std::move(unit));
        av_packet_unref(&packet);
    }
}

std::vector<CSimAccessUnit> vecEncodeLoop(int width, int height, bool black) {
    // The encoder's statistics would end up among the diagnostic lines.
    av_log_set_level(AV_LOG_ERROR);
    std::vector<CSimAccessUnit> loop;
    if (width < 16 || height < 16 || static_cast<std::size_t>(width) > kWidthMax ||
        width % 2 != 0 || height % 2 != 0) {
        return loop;
    }
    auto context = sOpenEncoder(width, height);
    std::unique_ptr<AVFrame, CFrameFree> picture(av_frame_alloc());
    std::unique_ptr<AVPacket, CPacketFree> packet(av_packet_alloc());
    if (!context || !picture || !packet) {
        return loop;
    }
    picture->format = AV_PIX_FMT_YUV420P;
    picture->width = width;
    picture->height = height;
    if (av_frame_get_buffer(picture.get(), 0) < 0) {
        return loop;
    }
    const CLayout layout(width, height);
    for (int frame = 0; frame < kSimLoopFrames; ++frame) {
        if (av_frame_make_writable(picture.get()) < 0) {
            return {};
        }
        if (black) {
            vPaintBlack(layout, *picture);
        } else {
            vPaint(layout, frame, *picture);
        }
        picture->pts = frame;
        // The loop starts again at frame 0, so its key frames fall on whole seconds.
        picture->pict_type =
            frame % kSimKeyInterval == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
        if (!fgEncode(*context, picture.get(), *packet, loop)) {
            KLOG_ERR("encoding failed at frame %d", frame);
            return {};
        }
    }
    if (!fgEncode(*context, nullptr, *packet, loop) || loop.size() != kSimLoopFrames ||
        !loop.front().m_fgKey) {
        KLOG_ERR("the encoder gave %zu units for %d pictures", loop.size(), kSimLoopFrames);
        return {};
    }
    return loop;
}

std::vector<CAmrFrame> vecEncodeTone() {
    std::vector<CAmrFrame> frames;
    const std::unique_ptr<void, CAmrEncoderFree> encoder(Encoder_Interface_init(0));
    if (!encoder) {
        return frames;
    }
    constexpr int kSamplesPerFrame = 160;
    constexpr double kAmplitude = 32767.0 / 3.0;
    std::array<short, kSamplesPerFrame> samples{};
    for (int frame = 0; frame < kAmrLoopFrames; ++frame) {
        for (int i = 0; i < kSamplesPerFrame; ++i) {
            // 160 samples hold exactly 20 periods, so every frame starts at phase 0.
            const double phase = 2.0 * std::numbers::pi * kToneHz * i / 8000.0;
            samples[static_cast<std::size_t>(i)] =
                static_cast<short>(std::lround(kAmplitude * std::sin(phase)));
        }
        CAmrFrame out{};
        const int bytes =
            Encoder_Interface_Encode(encoder.get(), MR122, samples.data(), out.data(), 0);
        if (bytes != static_cast<int>(kAmrFrameBytes)) {
            KLOG_ERR("AMR frame of %d bytes", bytes);
            return {};
        }
        frames.push_back(out);
    }
    return frames;
}

}  // namespace

std::uint8_t iTestPictureLuma(int width, int height, int frame, int x, int y) {
    return iLuma(CLayout(width, height), frame, x, y);
}

const std::vector<CSimAccessUnit>& vecVideoLoop(int width, int height, EPicture picture) {
    static std::mutex lock;
    // Node-based: a loop handed out stays where it is when another size is added.
    static std::map<std::tuple<int, int, EPicture>, std::vector<CSimAccessUnit>> loops;
    std::lock_guard guard(lock);
    const auto key = std::make_tuple(width, height, picture);
    auto found = loops.find(key);
    if (found == loops.end()) {
        found = loops.emplace(key, vecEncodeLoop(width, height, picture == EPicture::kBlack)).first;
    }
    return found->second;
}

const std::vector<CAmrFrame>& vecAudioLoop() {
    static const std::vector<CAmrFrame> frames = vecEncodeTone();
    return frames;
}

}  // namespace devsim
