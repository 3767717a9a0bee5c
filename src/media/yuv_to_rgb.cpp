#include "media/yuv_to_rgb.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "media/h264_docoder.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define KESTREL_YUV_AVX2 1
#endif

namespace {

constexpr int kClampOffset = 384;
// The tables' factors (BT.601, studio range, 16.16 fixed point).
constexpr int kLumaFactor = 76309;
constexpr int kChroma1RedFactor = 104597;
constexpr int kChroma1GreenFactor = 53279;
constexpr int kChroma2GreenFactor = 25675;
constexpr int kChroma2BlueFactor = 132201;

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

#ifdef KESTREL_YUV_AVX2
#define KESTREL_AVX2 __attribute__((target("avx2")))

// Eight table entries at once: the tables are the products factor x (value - offset)
// in 16.16 fixed point, so multiplying gives the very values a look-up would.
KESTREL_AVX2 inline __m256i ymmEntries(__m128i bytes8, int offset, int factor) {
    return _mm256_mullo_epi32(
        _mm256_sub_epi32(_mm256_cvtepu8_epi32(bytes8), _mm256_set1_epi32(offset)),
        _mm256_set1_epi32(factor));
}

// Eight pixels of one row: the sums shifted back from 16.16, saturated to 0..255 by
// the two packing steps (what the clamp table does), and interleaved to R, G, B, 255.
KESTREL_AVX2 inline void vStorePixels8(const std::uint8_t* luma, std::uint8_t* out,
                                       const __m256i& red, const __m256i& green,
                                       const __m256i& blue) {
    std::int64_t bytes = 0;
    std::memcpy(&bytes, luma, sizeof bytes);
    const __m256i lumaPart = ymmEntries(_mm_cvtsi64_si128(bytes), 16, kLumaFactor);
    const __m256i r = _mm256_srai_epi32(_mm256_add_epi32(lumaPart, red), 16);
    const __m256i g = _mm256_srai_epi32(_mm256_sub_epi32(lumaPart, green), 16);
    const __m256i b = _mm256_srai_epi32(_mm256_add_epi32(lumaPart, blue), 16);
    const __m256i rg = _mm256_packs_epi32(r, g);
    const __m256i ba = _mm256_packs_epi32(b, _mm256_set1_epi32(255));
    // Per 128-bit lane: r0..r3 g0..g3 b0..b3 a0..a3, transposed to pixels.
    const __m256i planar = _mm256_packus_epi16(rg, ba);
    const __m256i order = _mm256_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 0,
                                           4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_shuffle_epi8(planar, order));
}

// The table code's sums, eight pixels at a time: each 2 x 2 block's chroma parts are
// computed once, spread to its two columns and added to both rows' luma parts.
// Converts the first `pixels` (a multiple of 8) of one row, or of two rows when luma1
// is given.
KESTREL_AVX2 void vConvertRowsAvx2(const std::uint8_t* luma0, const std::uint8_t* luma1,
                                   const std::uint8_t* chroma1, const std::uint8_t* chroma2,
                                   std::uint8_t* out0, std::uint8_t* out1, int pixels) {
    const __m256i spread = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);
    for (int col = 0; col < pixels; col += 8) {
        std::int32_t bytes1 = 0;
        std::int32_t bytes2 = 0;
        std::memcpy(&bytes1, chroma1 + col / 2, sizeof bytes1);
        std::memcpy(&bytes2, chroma2 + col / 2, sizeof bytes2);
        const __m128i c1 = _mm_cvtsi32_si128(bytes1);
        const __m128i c2 = _mm_cvtsi32_si128(bytes2);
        const __m256i red =
            _mm256_permutevar8x32_epi32(ymmEntries(c1, 128, kChroma1RedFactor), spread);
        const __m256i green =
            _mm256_permutevar8x32_epi32(_mm256_add_epi32(ymmEntries(c1, 128, kChroma1GreenFactor),
                                                         ymmEntries(c2, 128, kChroma2GreenFactor)),
                                        spread);
        const __m256i blue =
            _mm256_permutevar8x32_epi32(ymmEntries(c2, 128, kChroma2BlueFactor), spread);
        vStorePixels8(luma0 + col, out0 + 4 * col, red, green, blue);
        if (luma1 != nullptr) {
            vStorePixels8(luma1 + col, out1 + 4 * col, red, green, blue);
        }
    }
}
#endif

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

CYuvToRgb::CYuvToRgb(ECode code) {
#ifdef KESTREL_YUV_AVX2
    m_fgAvx2 = code == ECode::Widest && __builtin_cpu_supports("avx2") != 0;
#else
    (void)code;
#endif
    for (int v = 0; v < 256; ++v) {
        const auto index = static_cast<std::size_t>(v);
        m_luma[index] = kLumaFactor * (v - 16);
        m_chroma1Red[index] = kChroma1RedFactor * (v - 128);
        m_chroma1Green[index] = kChroma1GreenFactor * (v - 128);
        m_chroma2Green[index] = kChroma2GreenFactor * (v - 128);
        m_chroma2Blue[index] = kChroma2BlueFactor * (v - 128);
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
#ifdef KESTREL_YUV_AVX2
    if (m_fgAvx2) {
        col = width & ~7;
        vConvertRowsAvx2(luma0, kTwoRows ? luma1 : nullptr, chroma1, chroma2, out0, out1, col);
    }
#endif
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
