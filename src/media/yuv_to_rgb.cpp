#include "media/yuv_to_rgb.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "media/h264_docoder.h"

namespace {

constexpr int kClampOffset = 384;

// Where each byte of an output pixel sits in the 32-bit word written for it, so that
// memory holds R, G, B, 255 whatever the processor's byte order.
constexpr bool kLittle = std::endian::native == std::endian::little;
constexpr std::uint32_t kShiftRed = kLittle ? 0 : 24;
constexpr std::uint32_t kShiftGreen = kLittle ? 8 : 16;
constexpr std::uint32_t kShiftBlue = kLittle ? 16 : 8;
constexpr std::uint32_t kOpaque = kLittle ? 0xFF000000U : 0xFFU;

using VInt4 = std::int32_t __attribute__((vector_size(16)));
using VUint4 = std::uint32_t __attribute__((vector_size(16)));

// Four pixels: the table sums shifted back from 16.16 and saturated to 0..255, as
// the clamp table maps them, packed and stored in one go.
inline void vStorePixels(VInt4 lumaPart, VInt4 red, VInt4 green, VInt4 blue, std::uint8_t* out) {
    const VInt4 zero = {0, 0, 0, 0};
    const VInt4 top = {255, 255, 255, 255};
    const auto saturate = [&](VInt4 value) {
        value = value < zero ? zero : value;
        return __builtin_convertvector(value > top ? top : value, VUint4);
    };
    const VUint4 pixel = (saturate((lumaPart + red) >> 16) << kShiftRed) |
                         (saturate((lumaPart - green) >> 16) << kShiftGreen) |
                         (saturate((lumaPart + blue) >> 16) << kShiftBlue) | kOpaque;
    std::memcpy(out, &pixel, sizeof pixel);
}

}  // namespace

SYuvPicture sPackedPicture(std::span<const std::uint8_t> buffer, int width, int height) {
    SYuvPicture picture;
    if (width <= 0 || height <= 0 || buffer.size() < uiPictureBytes(width, height)) {
        return picture;
    }
    const std::ptrdiff_t chromaWidth = (width + 1) / 2;
    const std::ptrdiff_t chromaHeight = (height + 1) / 2;
    const std::ptrdiff_t lumaBytes = static_cast<std::ptrdiff_t>(width) * height;
    picture.pLuma = buffer.data();
    picture.pChroma1 = picture.pLuma + lumaBytes;
    picture.pChroma2 = picture.pChroma1 + chromaWidth * chromaHeight;
    picture.iLumaStride = width;
    picture.iChromaStride = chromaWidth;
    picture.iWidth = width;
    picture.iHeight = height;
    return picture;
}

CYuvToRgb::CYuvToRgb() {
    for (int v = 0; v < 256; ++v) {
        const auto index = static_cast<std::size_t>(v);
        m_luma[index] = 76309 * (v - 16);
        m_chroma1Red[index] = 104597 * (v - 128);
        m_chroma1Green[index] = 53279 * (v - 128);
        m_chroma2Green[index] = 25675 * (v - 128);
        m_chroma2Blue[index] = 132201 * (v - 128);
    }
    for (int index = 0; index < static_cast<int>(m_clamp.size()); ++index) {
        const int value = index - kClampOffset;
        m_clamp[static_cast<std::size_t>(index)] =
            static_cast<std::uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
    }
}

int CYuvToRgb::iConvert(const SYuvPicture& picture, std::span<std::uint8_t> rgb,
                        std::ptrdiff_t rgbStride) const {
    const int width = picture.iWidth;
    const int height = picture.iHeight;
    if (width <= 0 || height <= 0 || picture.pLuma == nullptr || picture.pChroma1 == nullptr ||
        picture.pChroma2 == nullptr || rgbStride < 4 * static_cast<std::ptrdiff_t>(width)) {
        return -1;
    }
    const auto neededBytes = static_cast<std::size_t>(rgbStride * (height - 1) + 4 * width);
    if (rgb.size() < neededBytes) {
        return -1;
    }
    int row = 0;
    for (; row + 1 < height; row += 2) {
        std::uint8_t* out0 = rgb.data() + rgbStride * row;
        vConvertRows<true>(picture, row, out0, out0 + rgbStride);
    }
    if (row < height) {
        vConvertRows<false>(picture, row, rgb.data() + rgbStride * row, nullptr);
    }
    return 0;
}

// One chroma row serves two picture rows: each 2 x 2 block's chroma parts are looked
// up once and added to its four luma parts. Sums, shifts and saturation run four
// pixels at a time.
template <bool kTwoRows>
void CYuvToRgb::vConvertRows(const SYuvPicture& picture, int row, std::uint8_t* out0,
                             std::uint8_t* out1) const {
    const std::uint8_t* luma0 = picture.pLuma + picture.iLumaStride * row;
    const std::uint8_t* luma1 = kTwoRows ? luma0 + picture.iLumaStride : luma0;
    const std::uint8_t* chroma1 = picture.pChroma1 + picture.iChromaStride * (row / 2);
    const std::uint8_t* chroma2 = picture.pChroma2 + picture.iChromaStride * (row / 2);
    const std::int32_t* luma = m_luma.data();
    const int width = picture.iWidth;
    int col = 0;
    for (; col + 4 <= width; col += 4) {
        const int block = col / 2;
        const std::int32_t redA = m_chroma1Red[chroma1[block]];
        const std::int32_t redB = m_chroma1Red[chroma1[block + 1]];
        const std::int32_t greenA = m_chroma1Green[chroma1[block]] + m_chroma2Green[chroma2[block]];
        const std::int32_t greenB =
            m_chroma1Green[chroma1[block + 1]] + m_chroma2Green[chroma2[block + 1]];
        const std::int32_t blueA = m_chroma2Blue[chroma2[block]];
        const std::int32_t blueB = m_chroma2Blue[chroma2[block + 1]];
        const VInt4 red = {redA, redA, redB, redB};
        const VInt4 green = {greenA, greenA, greenB, greenB};
        const VInt4 blue = {blueA, blueA, blueB, blueB};
        const VInt4 lumaPart0 = {luma[luma0[col]], luma[luma0[col + 1]], luma[luma0[col + 2]],
                                 luma[luma0[col + 3]]};
        vStorePixels(lumaPart0, red, green, blue, out0 + 4 * col);
        if constexpr (kTwoRows) {
            const VInt4 lumaPart1 = {luma[luma1[col]], luma[luma1[col + 1]], luma[luma1[col + 2]],
                                     luma[luma1[col + 3]]};
            vStorePixels(lumaPart1, red, green, blue, out1 + 4 * col);
        }
    }
    const std::uint8_t* clamp = m_clamp.data() + kClampOffset;
    for (; col < width; ++col) {
        const std::uint8_t c1 = chroma1[col / 2];
        const std::uint8_t c2 = chroma2[col / 2];
        const std::int32_t red = m_chroma1Red[c1];
        const std::int32_t green = m_chroma1Green[c1] + m_chroma2Green[c2];
        const std::int32_t blue = m_chroma2Blue[c2];
        for (int line = 0; line < (kTwoRows ? 2 : 1); ++line) {
            const std::int32_t lumaPart = luma[(line == 0 ? luma0 : luma1)[col]];
            std::uint8_t* pixel = (line == 0 ? out0 : out1) + 4 * col;
            pixel[0] = clamp[(lumaPart + red) >> 16];
            pixel[1] = clamp[(lumaPart - green) >> 16];
            pixel[2] = clamp[(lumaPart + blue) >> 16];
            pixel[3] = 255;
        }
    }
}
