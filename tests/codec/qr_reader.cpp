#include "codec/qr_reader.h"

#include <zbar.h>

#include <memory>

namespace {

using namespace zbar;

struct CScannerDeleter {
    void operator()(zbar_image_scanner_t* scanner) const { zbar_image_scanner_destroy(scanner); }
};
struct CImageDeleter {
    void operator()(zbar_image_t* image) const { zbar_image_destroy(image); }
};

std::uint32_t uLe(std::span<const std::uint8_t> bytes, std::size_t at, int width) {
    std::uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) {
        value = (value << 8) | bytes[at + static_cast<std::size_t>(i)];
    }
    return value;
}

}  // namespace

std::vector<std::string> vecReadQrGrey(std::span<const std::uint8_t> grey, int width, int height) {
    const std::unique_ptr<zbar_image_scanner_t, CScannerDeleter> scanner(
        zbar_image_scanner_create());
    zbar_image_scanner_set_config(scanner.get(), ZBAR_NONE, ZBAR_CFG_ENABLE, 0);
    zbar_image_scanner_set_config(scanner.get(), ZBAR_QRCODE, ZBAR_CFG_ENABLE, 1);
    const std::unique_ptr<zbar_image_t, CImageDeleter> image(zbar_image_create());
    constexpr unsigned long kGrey8 = 'Y' | ('8' << 8) | ('0' << 16) | ('0' << 24);
    zbar_image_set_format(image.get(), kGrey8);
    zbar_image_set_size(image.get(), static_cast<unsigned>(width), static_cast<unsigned>(height));
    zbar_image_set_data(image.get(), grey.data(), grey.size(), nullptr);
    std::vector<std::string> found;
    if (zbar_scan_image(scanner.get(), image.get()) <= 0) {
        return found;
    }
    for (const zbar_symbol_t* symbol = zbar_image_first_symbol(image.get()); symbol != nullptr;
         symbol = zbar_symbol_next(symbol)) {
        found.emplace_back(zbar_symbol_get_data(symbol), zbar_symbol_get_data_length(symbol));
    }
    return found;
}

std::vector<std::string> vecReadQrBmp(std::span<const std::uint8_t> bmp) {
    if (bmp.size() < 62 || bmp[0] != 'B' || bmp[1] != 'M' || uLe(bmp, 28, 2) != 1) {
        return {};
    }
    const std::uint32_t pixelsAt = uLe(bmp, 10, 4);
    const auto width = static_cast<int>(uLe(bmp, 18, 4));
    const auto height = static_cast<int>(uLe(bmp, 22, 4));
    const std::size_t paletteAt = 14 + uLe(bmp, 14, 4);
    const std::size_t rowBytes = (static_cast<std::size_t>(width) + 31) / 32 * 4;
    if (width <= 0 || height <= 0 || paletteAt + 8 > bmp.size() ||
        pixelsAt + rowBytes * static_cast<std::size_t>(height) > bmp.size()) {
        return {};
    }
    // Grey level of each palette entry, from its green byte.
    const std::uint8_t palette[2] = {bmp[paletteAt + 1], bmp[paletteAt + 5]};
    std::vector<std::uint8_t> grey(static_cast<std::size_t>(width * height));
    for (int y = 0; y < height; ++y) {
        const std::size_t row = pixelsAt + rowBytes * static_cast<std::size_t>(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const unsigned index = (bmp[row + static_cast<std::size_t>(x / 8)] >> (7 - x % 8)) & 1u;
            grey[static_cast<std::size_t>(y * width + x)] = palette[index];
        }
    }
    return vecReadQrGrey(grey, width, height);
}
