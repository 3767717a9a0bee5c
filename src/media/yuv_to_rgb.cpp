#include "media/yuv_to_rgb.h"

#include "media/h264_docoder.h"

namespace {

constexpr int kClampOffset = 384;

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

// One chroma row serves two picture rows: its samples are looked up once per 2 x 2
// block and added to the four luma values of the block.
template <bool kTwoRows>
void CYuvToRgb::vConvertRows(const SYuvPicture& picture, int row, std::uint8_t* out0,
                             std::uint8_t* out1) const {
    const std::uint8_t* luma0 = picture.pLuma + picture.iLumaStride * row;
    const std::uint8_t* luma1 = luma0 + picture.iLumaStride;
    const std::uint8_t* chroma1 = picture.pChroma1 + picture.iChromaStride * (row / 2);
    const std::uint8_t* chroma2 = picture.pChroma2 + picture.iChromaStride * (row / 2);
    const std::uint8_t* clamp = m_clamp.data() + kClampOffset;
    const std::int32_t* luma = m_luma.data();
    const auto pixel = [clamp](std::uint8_t* out, std::int32_t y, std::int32_t red,
                               std::int32_t green, std::int32_t blue) {
        out[0] = clamp[(y + red) >> 16];
        out[1] = clamp[(y - green) >> 16];
        out[2] = clamp[(y + blue) >> 16];
        out[3] = 255;
    };
    const int pairedWidth = picture.iWidth & ~1;
    int col = 0;
    for (; col < pairedWidth; col += 2) {
        const std::uint8_t c1 = *chroma1++;
        const std::uint8_t c2 = *chroma2++;
        const std::int32_t red = m_chroma1Red[c1];
        const std::int32_t green = m_chroma1Green[c1] + m_chroma2Green[c2];
        const std::int32_t blue = m_chroma2Blue[c2];
        pixel(out0, luma[luma0[col]], red, green, blue);
        pixel(out0 + 4, luma[luma0[col + 1]], red, green, blue);
        out0 += 8;
        if constexpr (kTwoRows) {
            pixel(out1, luma[luma1[col]], red, green, blue);
            pixel(out1 + 4, luma[luma1[col + 1]], red, green, blue);
            out1 += 8;
        }
    }
    if (col < picture.iWidth) {
        const std::int32_t red = m_chroma1Red[*chroma1];
        const std::int32_t green = m_chroma1Green[*chroma1] + m_chroma2Green[*chroma2];
        const std::int32_t blue = m_chroma2Blue[*chroma2];
        pixel(out0, luma[luma0[col]], red, green, blue);
        if constexpr (kTwoRows) {
            pixel(out1, luma[luma1[col]], red, green, blue);
        }
    }
}
