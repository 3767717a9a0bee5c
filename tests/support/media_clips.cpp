#include "support/media_clips.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

#include <opencore-amrnb/interf_enc.h>

#include <cmath>
#include <memory>
#include <numbers>

const SBarYuv kBarColours[8] = {
    {235, 128, 128}, {210, 16, 146}, {170, 166, 16}, {145, 54, 34},
    {106, 202, 222}, {81, 90, 240},  {41, 240, 110}, {16, 128, 128},
};

namespace {

struct SContextFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct SFrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct SPacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

void vPaint(EClip clip, int index, AVFrame& frame) {
    const int shift = clip == EClip::Moving ? index * 8 : 0;
    for (int row = 0; row < frame.height; ++row) {
        for (int col = 0; col < frame.width; ++col) {
            const int bar = ((col + shift) * 8 / frame.width) % 8;
            int luma = kBarColours[bar].y;
            if (clip == EClip::Moving) {
                luma += ((row * 7 + col * 3 + index * 5) % 23) - 11;
            }
            frame.data[0][row * frame.linesize[0] + col] = static_cast<std::uint8_t>(luma);
            if (row % 2 == 0 && col % 2 == 0) {
                frame.data[1][row / 2 * frame.linesize[1] + col / 2] = kBarColours[bar].cb;
                frame.data[2][row / 2 * frame.linesize[2] + col / 2] = kBarColours[bar].cr;
            }
        }
    }
}

bool fgDrain(AVCodecContext& context, AVPacket& packet,
             std::vector<std::vector<std::uint8_t>>& units) {
    int received = 0;
    while ((received = avcodec_receive_packet(&context, &packet)) == 0) {
        units.emplace_back(packet.data, packet.data + packet.size);
        av_packet_unref(&packet);
    }
    return received == AVERROR(EAGAIN) || received == AVERROR_EOF;
}

}  // namespace

std::vector<std::vector<std::uint8_t>> vecEncodeH264(EClip clip, int width, int height, int frames,
                                                     int gop) {
    std::vector<std::vector<std::uint8_t>> units;
    // The encoder's statistics would bury the diagnostic lines of the run.
    av_log_set_level(AV_LOG_WARNING);
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (codec == nullptr) {
        return units;
    }
    std::unique_ptr<AVCodecContext, SContextFree> context(avcodec_alloc_context3(codec));
    std::unique_ptr<AVFrame, SFrameFree> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, SPacketFree> packet(av_packet_alloc());
    context->width = width;
    context->height = height;
    context->pix_fmt = AV_PIX_FMT_YUV420P;
    context->time_base = AVRational{1, 30};
    context->framerate = AVRational{30, 1};
    context->gop_size = gop;
    context->max_b_frames = 0;
    context->thread_count = 1;
    if (clip == EClip::Moving) {
        // About what a camera sends: 0.07 bits per pixel at 30 pictures per second
        // (4.4 Mbit/s at 1080p), a second of rate buffer.
        context->bit_rate = static_cast<std::int64_t>(width) * height * 30 * 7 / 100;
        context->rc_max_rate = context->bit_rate;
        context->rc_buffer_size = static_cast<int>(context->bit_rate);
    }
    av_opt_set(context->priv_data, "preset", "veryfast", 0);
    av_opt_set(context->priv_data, "tune", "zerolatency", 0);
    if (avcodec_open2(context.get(), codec, nullptr) < 0) {
        return {};
    }
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame.get(), 0) < 0) {
        return {};
    }
    for (int index = 0; index < frames; ++index) {
        if (av_frame_make_writable(frame.get()) < 0) {
            return {};
        }
        vPaint(clip, index, *frame);
        frame->pts = index;
        if (avcodec_send_frame(context.get(), frame.get()) < 0 ||
            !fgDrain(*context, *packet, units)) {
            return {};
        }
    }
    if (avcodec_send_frame(context.get(), nullptr) < 0 || !fgDrain(*context, *packet, units)) {
        return {};
    }
    return units;
}

std::vector<std::uint8_t> vecEncodeAmrTone(double frequencyHz, double amplitude, int frames) {
    constexpr int kSamples = 160;
    constexpr int kFrameBytes = 32;
    std::unique_ptr<void, void (*)(void*)> encoder(Encoder_Interface_init(0),
                                                   Encoder_Interface_exit);
    std::vector<std::uint8_t> out;
    short speech[kSamples];
    unsigned char frame[64];
    for (int index = 0; index < frames; ++index) {
        for (int sample = 0; sample < kSamples; ++sample) {
            const double t = (index * kSamples + sample) / 8000.0;
            speech[sample] = static_cast<short>(
                std::lround(amplitude * std::sin(2.0 * std::numbers::pi * frequencyHz * t)));
        }
        const int bytes = Encoder_Interface_Encode(encoder.get(), MR122, speech, frame, 0);
        if (bytes != kFrameBytes) {
            return {};
        }
        out.insert(out.end(), frame, frame + kFrameBytes);
    }
    return out;
}

SAnnexBDecode sDecodeAnnexB(std::span<const std::uint8_t> stream) {
    SAnnexBDecode result;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (codec == nullptr) {
        return result;
    }
    std::unique_ptr<AVCodecParserContext, decltype(&av_parser_close)> parser(
        av_parser_init(AV_CODEC_ID_H264), &av_parser_close);
    std::unique_ptr<AVCodecContext, SContextFree> context(avcodec_alloc_context3(codec));
    std::unique_ptr<AVFrame, SFrameFree> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, SPacketFree> packet(av_packet_alloc());
    if (!parser || !context || avcodec_open2(context.get(), codec, nullptr) < 0) {
        return result;
    }
    const auto drain = [&] {
        while (avcodec_receive_frame(context.get(), frame.get()) == 0) {
            ++result.iPictures;
        }
    };
    // The parser holds the last unit back until it sees the next one, or the end (an
    // empty input).
    std::size_t at = 0;
    bool ended = false;
    while (!ended) {
        const bool last = at >= stream.size();
        std::uint8_t* unit = nullptr;
        int unitBytes = 0;
        const int used = av_parser_parse2(
            parser.get(), context.get(), &unit, &unitBytes, last ? nullptr : stream.data() + at,
            last ? 0 : static_cast<int>(stream.size() - at), AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (used < 0) {
            ++result.iErrors;
            return result;
        }
        at += static_cast<std::size_t>(used);
        ended = last;
        if (unitBytes > 0) {
            ++result.iUnits;
            packet->data = unit;
            packet->size = unitBytes;
            if (avcodec_send_packet(context.get(), packet.get()) < 0) {
                ++result.iErrors;
            }
            drain();
        }
    }
    avcodec_send_packet(context.get(), nullptr);
    drain();
    return result;
}
