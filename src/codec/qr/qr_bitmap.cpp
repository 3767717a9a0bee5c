#include "codec/qr/qr_bitmap.h"

namespace {

void vPutLe(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

}  // namespace

std::vector<std::uint8_t> qrSymbolToBMP(const CQrSymbol& symbol) {
    std::vector<std::uint8_t> bmp(kQrBmpBytes, 0);
    constexpr auto kSide = static_cast<std::uint32_t>(kQrBmpSide);
    constexpr auto kPixelBytes = static_cast<std::uint32_t>(kQrBmpBytes - kQrBmpHeaderBytes);
    bmp[0] = 'B';
    bmp[1] = 'M';
    vPutLe(bmp, 2, static_cast<std::uint32_t>(kQrBmpBytes), 4);
    vPutLe(bmp, 10, static_cast<std::uint32_t>(kQrBmpHeaderBytes), 4);
    vPutLe(bmp, 14, 40, 4);  // information header size
    vPutLe(bmp, 18, kSide, 4);
    vPutLe(bmp, 22, kSide, 4);  // positive: bottom-up rows
    vPutLe(bmp, 26, 1, 2);      // planes
    vPutLe(bmp, 28, 1, 2);      // bits per pixel
    vPutLe(bmp, 34, kPixelBytes, 4);
    vPutLe(bmp, 46, 2, 4);  // colours used
    // Palette: entry 0 black (stays zero), entry 1 white.
    vPutLe(bmp, 58, 0x00FFFFFF, 4);

    for (int y = 0; y < kQrBmpSide; ++y) {
        const int moduleRow = y / kQrPixelsPerModule - kQrQuietModules;
        const std::size_t rowStart =
            kQrBmpHeaderBytes + kQrBmpRowBytes * static_cast<std::size_t>(kQrBmpSide - 1 - y);
        for (int x = 0; x < kQrBmpSide; ++x) {
            const int moduleCol = x / kQrPixelsPerModule - kQrQuietModules;
            if (!symbol.fgDark(moduleRow, moduleCol)) {
                bmp[rowStart + static_cast<std::size_t>(x / 8)] |=
                    static_cast<std::uint8_t>(0x80u >> (x % 8));
            }
        }
    }
    return bmp;
}

CQrBitmap sMakeQrBitmap(std::string_view text) {
    CQrEncoder encoder;
    CQrBitmap bitmap;
    encoder.qrAddData2(text);
    if (encoder.iFinish() != 0) {
        bitmap.m_iError = encoder.iLastError();
        bitmap.m_strError = encoder.strLastError();
        return bitmap;
    }
    bitmap.m_bmp = qrSymbolToBMP(*encoder.psSymbol());
    return bitmap;
}
