#include <gtest/gtest.h>

#include "media/h264_docoder.h"
#include "support/capture_stderr.h"
#include "support/media_clips.h"

namespace {

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
