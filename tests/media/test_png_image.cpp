// The colour PNG writer read back by libpng: every pixel as written, whatever the
// stride, and the shrunk copy keeps its proportions.
#include <gtest/gtest.h>
#include <png.h>

#include <vector>

#include "media/png_image.h"

namespace {

// Decodes a PNG held in memory to RGB; empty on failure.
std::vector<std::uint8_t> bufReadRgb(const std::vector<std::uint8_t>& file, int& width,
                                     int& height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_memory(&image, file.data(), file.size()) == 0) {
        return {};
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) == 0) {
        png_image_free(&image);
        return {};
    }
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    return rgb;
}

}  // namespace

TEST(PngImage, ReadsBackEveryPixel) {
    struct Case {
        int width;
        int height;
        std::size_t padding;  // bytes after each row
    };
    for (const Case c : {Case{1, 1, 0}, Case{7, 5, 0}, Case{33, 17, 12}, Case{640, 360, 0}}) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        const std::size_t stride = static_cast<std::size_t>(c.width) * 4 + c.padding;
        std::vector<std::uint8_t> rgbx(stride * static_cast<std::size_t>(c.height));
        for (std::size_t i = 0; i < rgbx.size(); ++i) {
            rgbx[i] = static_cast<std::uint8_t>((i * 7919) >> 3);
        }
        int width = 0;
        int height = 0;
        const std::vector<std::uint8_t> rgb =
            bufReadRgb(bufPngRgb(c.width, c.height, rgbx, stride, 1), width, height);
        ASSERT_EQ(width, c.width);
        ASSERT_EQ(height, c.height);
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                for (int k = 0; k < 3; ++k) {
                    const auto at = static_cast<std::size_t>((y * c.width + x) * 3 + k);
                    ASSERT_EQ(rgb[at],
                              rgbx[static_cast<std::size_t>(y) * stride +
                                   static_cast<std::size_t>(x) * 4 + static_cast<std::size_t>(k)])
                        << x << "," << y;
                }
            }
        }
    }
    const std::vector<std::uint8_t> tooShort(4 * 4 * 3);
    EXPECT_TRUE(bufPngRgb(4, 4, tooShort, 16).empty());
    EXPECT_TRUE(bufPngRgb(4, 4, std::vector<std::uint8_t>(64), 12).empty());
}

TEST(PngImage, ShrinksToTheWidthKeepingProportions) {
    const std::vector<std::uint8_t> rgbx(640 * 360 * 4, 200);
    int width = 0;
    int height = 0;
    EXPECT_EQ(bufShrinkRgbx(640, 360, rgbx, 640 * 4, 160, width, height).size(), 160U * 90 * 4);
    EXPECT_EQ(height, 90);
    EXPECT_EQ(bufShrinkRgbx(640, 360, rgbx, 640 * 4, 1000, width, height).size(), rgbx.size());
    EXPECT_EQ(width, 640);
}
