#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// One 4:2:0 picture: a luma plane and two chroma planes, each chroma sample serving
// the 2 x 2 luma block it covers. The first chroma plane is Cr, the second Cb.
struct SYuvPicture {
    const std::uint8_t* pLuma = nullptr;
    const std::uint8_t* pChroma1 = nullptr;
    const std::uint8_t* pChroma2 = nullptr;
    std::ptrdiff_t iLumaStride = 0;
    std::ptrdiff_t iChromaStride = 0;
    int iWidth = 0;
    int iHeight = 0;
};

// The planes of a picture in the packed layout CH264Docoder writes (luma, Cr, Cb).
// The buffer must hold uiPictureBytes(width, height) bytes.
SYuvPicture sPackedPicture(std::span<const std::uint8_t> buffer, int width, int height);

// Colour conversion of the live view: limited-range BT.601 YUV to 32-bit RGB with
// five tables in 16.16 fixed point and a clamp table, integer arithmetic only.
// Each output pixel is four bytes in memory order R, G, B, 255 (the layout of
// QImage::Format_RGBX8888). Immutable after construction: any thread may convert.
class CYuvToRgb {
  public:
    // Which code converts: the widest the processor offers (eight pixels at a time on
    // x86-64 with AVX2), or the portable four-at-a-time code everywhere. Same results.
    enum class ECode { Widest, Portable };

    explicit CYuvToRgb(ECode code = ECode::Widest);

    // Converts the whole picture into `rgb`, rows `rgbStride` bytes apart.
    // 0 done; -1 when the picture is empty, the stride is below 4 x width or `rgb`
    // is too small for the rows (nothing is written then).
    int iConvert(const SYuvPicture& picture, std::span<std::uint8_t> rgb,
                 std::ptrdiff_t rgbStride) const;

  private:
    template <bool kTwoRows>
    void vConvertRows(const SYuvPicture& picture, int row, std::uint8_t* out0,
                      std::uint8_t* out1) const;

    std::array<std::int32_t, 256> m_luma{};
    std::array<std::int32_t, 256> m_chroma1Red{};
    std::array<std::int32_t, 256> m_chroma1Green{};
    std::array<std::int32_t, 256> m_chroma2Green{};
    std::array<std::int32_t, 256> m_chroma2Blue{};
    bool m_fgAvx2 = false;
    // Index -384 to 639, stored from 0: values below 0 become 0, above 255 become 255.
    std::array<std::uint8_t, 1024> m_clamp{};
};
