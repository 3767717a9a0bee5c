#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codec/qr/qr_encoder.h"

// The picture of a symbol: a quiet zone of 4 light modules on every side, 8 pixels per
// module, as a Windows bitmap file (BITMAPFILEHEADER, BITMAPINFOHEADER, two-colour
// palette, 1 bit per pixel, rows bottom-up, each padded to 4 bytes).
inline constexpr int kQrQuietModules = 4;
inline constexpr int kQrPixelsPerModule = 8;
inline constexpr int kQrBmpSide = (CQrSymbol::kSize + 2 * kQrQuietModules) * kQrPixelsPerModule;
inline constexpr std::size_t kQrBmpHeaderBytes = 14 + 40 + 2 * 4;
inline constexpr std::size_t kQrBmpRowBytes = (kQrBmpSide + 31) / 32 * 4;
inline constexpr std::size_t kQrBmpBytes =
    kQrBmpHeaderBytes + kQrBmpRowBytes * static_cast<std::size_t>(kQrBmpSide);
static_assert(kQrBmpSide == 264 && kQrBmpRowBytes == 36 && kQrBmpBytes == 9566);

// Render: the finished symbol as the bytes of a bitmap file, kQrBmpBytes long.
// Palette entry 0 is black (dark modules), entry 1 white; no resolution is given.
std::vector<std::uint8_t> qrSymbolToBMP(const CQrSymbol& symbol);

// The bitmap of text, or why there is none.
struct CQrBitmap {
    std::vector<std::uint8_t> m_bmp;  // kQrBmpBytes, or empty on failure
    int m_iError = 0;                 // 0, or the encoder's kQrErr... code
    std::string m_strError;           // the encoder's message
};

// The whole preview step: create the encoder, add text, finish, render, destroy.
CQrBitmap sMakeQrBitmap(std::string_view text);
