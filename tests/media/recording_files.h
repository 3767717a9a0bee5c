#pragma once

// What the tests of recordings read back: a file's bytes, a little-endian field, and
// what libavcodec makes of an H.264 Annex B file read from its first byte, as a player
// opening the file would.

#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

inline std::string strReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// The 32-bit little-endian value at `at` (a WAV head's sizes).
inline std::uint32_t uiLe32At(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value =
            (value << 8) | static_cast<unsigned char>(bytes.at(at + static_cast<std::size_t>(i)));
    }
    return value;
}

// What libavcodec makes of an Annex B file read from its first byte.
struct CDecoded {
    int m_iPictures = 0;
    bool m_fgFirstIsKey = false;
    int m_iErrors = 0;
};

inline CDecoded sDecodeAnnexB(const std::string& bytes) {
    CDecoded decoded;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    std::unique_ptr<AVCodecParserContext, void (*)(AVCodecParserContext*)> parser(
        av_parser_init(AV_CODEC_ID_H264), av_parser_close);
    AVCodecContext* rawContext = avcodec_alloc_context3(codec);
    std::unique_ptr<AVCodecContext*, void (*)(AVCodecContext**)> context(&rawContext,
                                                                         avcodec_free_context);
    AVFrame* rawFrame = av_frame_alloc();
    std::unique_ptr<AVFrame*, void (*)(AVFrame**)> frame(&rawFrame, av_frame_free);
    AVPacket* rawPacket = av_packet_alloc();
    std::unique_ptr<AVPacket*, void (*)(AVPacket**)> packet(&rawPacket, av_packet_free);
    if (codec == nullptr || !parser || rawContext == nullptr ||
        avcodec_open2(rawContext, codec, nullptr) < 0) {
        decoded.m_iErrors = 1;
        return decoded;
    }
    const auto receive = [&] {
        while (avcodec_receive_frame(rawContext, rawFrame) == 0) {
            if (decoded.m_iPictures == 0) {
                decoded.m_fgFirstIsKey = rawFrame->pict_type == AV_PICTURE_TYPE_I;
            }
            ++decoded.m_iPictures;
        }
    };
    std::vector<std::uint8_t> input(bytes.begin(), bytes.end());
    input.resize(input.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    const std::uint8_t* at = input.data();
    int left = static_cast<int>(bytes.size());
    while (left > 0) {
        const int used =
            av_parser_parse2(parser.get(), rawContext, &rawPacket->data, &rawPacket->size, at, left,
                             AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        at += used;
        left -= used;
        if (rawPacket->size > 0) {
            decoded.m_iErrors += avcodec_send_packet(rawContext, rawPacket) < 0 ? 1 : 0;
            receive();
        }
    }
    avcodec_send_packet(rawContext, nullptr);
    receive();
    return decoded;
}
