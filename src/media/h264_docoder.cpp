#include "media/h264_docoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}

#include <algorithm>
#include <cstring>

#include "app/log.h"

std::size_t uiPictureBytes(int width, int height) {
    const auto lumaBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const auto chromaBytes =
        static_cast<std::size_t>((width + 1) / 2) * static_cast<std::size_t>((height + 1) / 2);
    return lumaBytes + 2 * chromaBytes;
}

void CH264Docoder::SContextFree::operator()(AVCodecContext* context) const {
    avcodec_free_context(&context);
}

void CH264Docoder::SFrameFree::operator()(AVFrame* frame) const {
    av_frame_free(&frame);
}

void CH264Docoder::SPacketFree::operator()(AVPacket* packet) const {
    av_packet_free(&packet);
}

CH264Docoder::CH264Docoder() {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (codec == nullptr) {
        KLOG_ERR("no h264 decoder");
        return;
    }
    std::unique_ptr<AVCodecContext, SContextFree> context(avcodec_alloc_context3(codec));
    m_frame.reset(av_frame_alloc());
    m_packet.reset(av_packet_alloc());
    if (!context || !m_frame || !m_packet) {
        KLOG_ERR("alloc fail");
        return;
    }
    // A live picture is shown as soon as its access unit is in: no frame threads
    // (each would hold one picture back) and no reordering delay.
    context->flags |= AV_CODEC_FLAG_LOW_DELAY;
    context->thread_count = 1;
    const int opened = avcodec_open2(context.get(), codec, nullptr);
    if (opened < 0) {
        KLOG_ERR("open fail,ret=%d", opened);
        return;
    }
    m_context = std::move(context);
    KLOG_INFO("create");
}

CH264Docoder::~CH264Docoder() {
    if (m_context) {
        KLOG_INFO("destroy");
    }
}

int CH264Docoder::iDecode(std::span<const std::uint8_t> accessUnit, std::uint32_t seq,
                          std::span<std::uint8_t> picture, int& width, int& height) {
    width = 0;
    height = 0;
    int result = AVERROR(EINVAL);
    if (m_context && !accessUnit.empty()) {
        m_input.resize(accessUnit.size() + AV_INPUT_BUFFER_PADDING_SIZE);
        std::copy(accessUnit.begin(), accessUnit.end(), m_input.begin());
        std::fill(m_input.begin() + static_cast<std::ptrdiff_t>(accessUnit.size()), m_input.end(),
                  std::uint8_t{0});
        m_packet->data = m_input.data();
        m_packet->size = static_cast<int>(accessUnit.size());
        result = avcodec_send_packet(m_context.get(), m_packet.get());
        m_packet->data = nullptr;
        m_packet->size = 0;
        if (result >= 0) {
            result = 0;
            // Normally one picture; should the decoder hand out more, the newest wins.
            while (avcodec_receive_frame(m_context.get(), m_frame.get()) == 0) {
                result = iCopyPicture(picture, width, height);
                av_frame_unref(m_frame.get());
            }
        }
    }
    if (result != 1) {
        KLOG_INFO("decode fail,ret=%d", result);
        KLOG_INFO("decode fail,seq=%u", seq);
    }
    return result;
}

int CH264Docoder::iCopyPicture(std::span<std::uint8_t> picture, int& width, int& height) {
    const AVFrame& frame = *m_frame;
    width = 0;
    height = 0;
    if (frame.format != AV_PIX_FMT_YUV420P && frame.format != AV_PIX_FMT_YUVJ420P) {
        KLOG_ERR("pixel format %d not 4:2:0", frame.format);
        return kErrFormat;
    }
    if (frame.width <= 0 || frame.height <= 0 ||
        uiPictureBytes(frame.width, frame.height) > picture.size()) {
        KLOG_ERR("picture %dx%d does not fit %zu bytes, refused", frame.width, frame.height,
                 picture.size());
        return kErrTooLarge;
    }
    const int chromaWidth = (frame.width + 1) / 2;
    const int chromaHeight = (frame.height + 1) / 2;
    std::uint8_t* out = picture.data();
    const auto copyPlane = [&out](const std::uint8_t* plane, int stride, int planeWidth,
                                  int planeHeight) {
        for (int row = 0; row < planeHeight; ++row) {
            std::memcpy(out, plane + static_cast<std::ptrdiff_t>(row) * stride,
                        static_cast<std::size_t>(planeWidth));
            out += planeWidth;
        }
    };
    copyPlane(frame.data[0], frame.linesize[0], frame.width, frame.height);
    copyPlane(frame.data[2], frame.linesize[2], chromaWidth, chromaHeight);
    copyPlane(frame.data[1], frame.linesize[1], chromaWidth, chromaHeight);
    width = frame.width;
    height = frame.height;
    return 1;
}
