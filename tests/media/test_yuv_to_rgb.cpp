#include <gtest/gtest.h>

#include "media/yuv_to_rgb.h"

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <cstdlib>
#include <memory>

#include "media/h264_docoder.h"
#include "support/media_clips.h"

namespace {

struct SSwsFree {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};

// The reference: libswscale's BT.601 conversion of the same planes, same byte order.
std::vector<std::uint8_t> vecSwscale(const SYuvPicture& picture) {
    const int width = picture.iWidth;
    const int height = picture.iHeight;
    std::unique_ptr<SwsContext, SSwsFree> context(
        sws_getContext(width, height, AV_PIX_FMT_YUV420P, width, height, AV_PIX_FMT_RGB0, SWS_POINT,
                       nullptr, nullptr, nullptr));
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width * height * 4));
    const std::uint8_t* const planes[3] = {picture.pLuma, picture.pChroma2, picture.pChroma1};
    const int strides[3] = {static_cast<int>(picture.iLumaStride),
                            static_cast<int>(picture.iChromaStride),
                            static_cast<int>(picture.iChromaStride)};
    std::uint8_t* const out[1] = {rgb.data()};
    const int outStride[1] = {width * 4};
    sws_scale(context.get(), planes, strides, 0, height, out, outStride);
    return rgb;
}

// Every access unit of a stream gives its picture at once; its frames convert as
// libswscale converts them, within 3 per channel, and the bars keep their colours (red
// stays red, so Cr and Cb come in the decoded layout's order); the widest code and
// the portable code give the same bytes.
TEST(YuvToRgb, MatchesSwscaleOnDecodedFrames) {
    struct SCase {
        EClip clip;
        int width;
        int height;
    };
    const SCase cases[] = {{EClip::ColourBars, 256, 128}, {EClip::Moving, 320, 240}};
    const std::uint8_t barRgb[8][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                       {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
    const CYuvToRgb converter;
    const CYuvToRgb portable(CYuvToRgb::ECode::Portable);
    for (const SCase& test : cases) {
        SCOPED_TRACE(test.width);
        const auto units = vecEncodeH264(test.clip, test.width, test.height, 4, 2);
        ASSERT_EQ(units.size(), 4U);
        CH264Docoder decoder;
        std::vector<std::uint8_t> buffer(kPictureBufferBytes);
        for (std::size_t unit = 0; unit < units.size(); ++unit) {
            int width = 0;
            int height = 0;
            ASSERT_EQ(decoder.iDecode(units[unit], 0, buffer, width, height), 1);
            const SYuvPicture picture = sPackedPicture(buffer, width, height);
            std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width * height * 4));
            ASSERT_EQ(converter.iConvert(picture, rgb, width * 4), 0);
            std::vector<std::uint8_t> rgbPortable(rgb.size());
            ASSERT_EQ(portable.iConvert(picture, rgbPortable, width * 4), 0);
            EXPECT_EQ(rgbPortable, rgb);
            const std::vector<std::uint8_t> reference = vecSwscale(picture);
            int worst = 0;
            for (std::size_t at = 0; at < rgb.size(); ++at) {
                if (at % 4 != 3) {
                    worst = std::max(worst, std::abs(rgb[at] - reference[at]));
                }
            }
            EXPECT_LE(worst, 3) << "frame " << unit;
            if (test.clip != EClip::ColourBars) {
                continue;
            }
            for (int bar = 0; bar < 8; ++bar) {
                const auto at = static_cast<std::size_t>(
                    ((height / 2) * width + bar * width / 8 + width / 16) * 4);
                for (std::size_t channel = 0; channel < 3; ++channel) {
                    EXPECT_NEAR(rgb[at + channel], barRgb[bar][channel], 8)
                        << "bar " << bar << " channel " << channel;
                }
            }
        }
    }
}

// The vector code computes the tables' entries instead of looking them up: it must give
// the same bytes for every luma and chroma value, the extremes that saturate included,
// and for widths that leave a tail to the table code.
TEST(YuvToRgb, VectorCodeEqualsTheTablesForEveryValue) {
    const CYuvToRgb widest;
    const CYuvToRgb portable(CYuvToRgb::ECode::Portable);
    for (const int width : {256, 262, 21}) {
        const int height = 6;
        std::vector<std::uint8_t> buffer(uiPictureBytes(width, height));
        std::uint32_t seed = 12345;
        for (std::size_t at = 0; at < buffer.size(); ++at) {
            seed = seed * 1664525U + 1013904223U;
            // Every value once in the first bytes of each plane's rows, then random.
            buffer[at] = static_cast<std::uint8_t>(at < 256 ? at : seed >> 24);
        }
        const SYuvPicture picture = sPackedPicture(buffer, width, height);
        std::vector<std::uint8_t> expected(static_cast<std::size_t>(width * height * 4));
        std::vector<std::uint8_t> rgb(expected.size());
        ASSERT_EQ(0, portable.iConvert(picture, expected, width * 4));
        ASSERT_EQ(0, widest.iConvert(picture, rgb, width * 4));
        EXPECT_EQ(expected, rgb) << width;
    }
}

// Odd sizes get their last column and row from the block they belong to; nothing is
// written between rows or past the image, and a short buffer is refused untouched.
TEST(YuvToRgb, WritesExactlyThePictureItsRowsAndNoMore) {
    struct SCase {
        int width;
        int height;
        int padBytes;  // between the end of one row and the start of the next
        int spareBytes;
        int expected;
    };
    const SCase cases[] = {
        {1, 1, 0, 0, 0},  {5, 3, 0, 0, 0},   {7, 6, 12, 4, 0},
        {21, 5, 8, 0, 0}, {4, 2, 0, -1, -1}, {4, 2, -4, 40, -1},
    };
    const CYuvToRgb converter;
    for (const SCase& test : cases) {
        SCOPED_TRACE(testing::Message() << test.width << "x" << test.height);
        std::vector<std::uint8_t> yuv(uiPictureBytes(test.width, test.height));
        const std::size_t lumaBytes = static_cast<std::size_t>(test.width * test.height);
        const std::size_t chromaBytes = (yuv.size() - lumaBytes) / 2;
        std::fill(yuv.begin(), yuv.begin() + static_cast<std::ptrdiff_t>(lumaBytes), 81);
        std::fill(yuv.begin() + static_cast<std::ptrdiff_t>(lumaBytes),
                  yuv.begin() + static_cast<std::ptrdiff_t>(lumaBytes + chromaBytes), 240);
        std::fill(yuv.begin() + static_cast<std::ptrdiff_t>(lumaBytes + chromaBytes), yuv.end(),
                  90);
        const int stride = test.width * 4 + test.padBytes;
        const auto imageBytes =
            static_cast<std::size_t>(stride * (test.height - 1) + test.width * 4 + test.spareBytes);
        std::vector<std::uint8_t> rgb(imageBytes + 16, 0xEE);
        ASSERT_EQ(converter.iConvert(sPackedPicture(yuv, test.width, test.height),
                                     std::span(rgb).first(imageBytes), stride),
                  test.expected);
        for (std::size_t at = 0; at < rgb.size(); ++at) {
            const auto row = static_cast<int>(at) / stride;
            const auto col = static_cast<int>(at) % stride;
            const bool inPicture = test.expected == 0 && row < test.height && col < test.width * 4;
            if (!inPicture) {
                ASSERT_EQ(rgb[at], 0xEE) << "byte " << at;
            } else if (col % 4 == 0) {
                ASSERT_GE(rgb[at], 250) << "byte " << at;
            } else {
                ASSERT_LE(rgb[at], col % 4 == 3 ? 255 : 5) << "byte " << at;
            }
        }
    }
}

}  // namespace
