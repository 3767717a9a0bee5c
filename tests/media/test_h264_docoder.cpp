#include <gtest/gtest.h>

#include <cstdlib>

#include "media/h264_docoder.h"
#include "support/capture_stderr.h"
#include "support/media_clips.h"

namespace {

constexpr int kWidth = 256;
constexpr int kHeight = 128;

// Every access unit of a clip gives its picture at once, and the bars come out in the
// decoded layout: luma, then Cr, then Cb.
TEST(H264Docoder, OnePicturePerAccessUnitInTheDecodedLayout) {
    const auto units = vecEncodeH264(EClip::ColourBars, kWidth, kHeight, 12, 5);
    ASSERT_EQ(units.size(), 12U);
    CH264Docoder decoder;
    ASSERT_TRUE(decoder.fgIsOpen());
    std::vector<std::uint8_t> picture(kPictureBufferBytes);
    const std::size_t lumaBytes = kWidth * kHeight;
    const std::size_t chromaBytes = lumaBytes / 4;
    for (std::size_t unit = 0; unit < units.size(); ++unit) {
        int width = 0;
        int height = 0;
        ASSERT_EQ(
            decoder.iDecode(units[unit], static_cast<std::uint32_t>(unit), picture, width, height),
            1)
            << "access unit " << unit;
        ASSERT_EQ(width, kWidth);
        ASSERT_EQ(height, kHeight);
        for (int bar = 0; bar < 8; ++bar) {
            const int col = bar * kWidth / 8 + kWidth / 16;
            const int row = kHeight / 2;
            const auto near = [](int got, int want) { return std::abs(got - want) <= 4; };
            EXPECT_PRED2(near, picture[static_cast<std::size_t>(row * kWidth + col)],
                         kBarColours[bar].y);
            const std::size_t chromaAt = static_cast<std::size_t>(row / 2 * kWidth / 2 + col / 2);
            EXPECT_PRED2(near, picture[lumaBytes + chromaAt], kBarColours[bar].cr);
            EXPECT_PRED2(near, picture[lumaBytes + chromaBytes + chromaAt], kBarColours[bar].cb);
        }
    }
}

// A picture larger than the buffer is refused without a byte written past it, and
// bytes that are no H.264 give no picture; both name the frame's sequence number.
TEST(H264Docoder, RefusesWhatItCannotDecodeAndSaysWhichFrame) {
    const auto units = vecEncodeH264(EClip::ColourBars, 64, 48, 1, 1);
    ASSERT_EQ(units.size(), 1U);
    const std::vector<std::uint8_t> garbage(300, 0x5A);
    struct SCase {
        const std::vector<std::uint8_t>& input;
        std::size_t bufferBytes;
        std::uint32_t seq;
        int expected;  // 0 for "no picture or an error", else the exact code
    };
    const SCase cases[] = {
        {units[0], uiPictureBytes(64, 48) - 1, 41, CH264Docoder::kErrTooLarge},
        {garbage, kPictureBufferBytes, 42, 0},
    };
    for (const SCase& test : cases) {
        CH264Docoder decoder;
        std::vector<std::uint8_t> picture(test.bufferBytes + 1, 0xEE);
        int width = -1;
        int height = -1;
        CCaptureStderr log;
        const int result = decoder.iDecode(
            test.input, test.seq, std::span(picture).first(test.bufferBytes), width, height);
        if (test.expected != 0) {
            EXPECT_EQ(result, test.expected);
        } else {
            EXPECT_LE(result, 0);
        }
        EXPECT_EQ(width, 0);
        EXPECT_EQ(height, 0);
        EXPECT_EQ(picture.back(), 0xEE);
        EXPECT_NE(log.text().find("decode fail,seq=" + std::to_string(test.seq) + "\r\n"),
                  std::string::npos);
    }
}

}  // namespace
