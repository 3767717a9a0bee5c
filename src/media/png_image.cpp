#include "media/png_image.h"

#include <zlib.h>

#include <algorithm>
#include <string_view>

namespace {

constexpr std::size_t kRgbxBytes = 4;
constexpr std::uint8_t kFilterUp = 2;

void vPutBe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void vPutChunk(std::vector<std::uint8_t>& out, std::string_view type,
               std::span<const std::uint8_t> data) {
    vPutBe32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0L, out.data() + typeAt, static_cast<uInt>(out.size() - typeAt));
    vPutBe32(out, static_cast<std::uint32_t>(crc));
}

bool fgFits(int width, int height, std::size_t dataBytes, std::size_t stride) {
    if (width <= 0 || height <= 0) {
        return false;
    }
    const auto rowBytes = static_cast<std::size_t>(width) * kRgbxBytes;
    return stride >= rowBytes &&
           dataBytes >= stride * static_cast<std::size_t>(height - 1) + rowBytes;
}

}  // namespace

std::vector<std::uint8_t> bufPngRgb(int width, int height, std::span<const std::uint8_t> rgbx,
                                    std::size_t rgbStride, int compressLevel) {
    if (!fgFits(width, height, rgbx.size(), rgbStride)) {
        return {};
    }
    const auto columns = static_cast<std::size_t>(width);
    const auto rows = static_cast<std::size_t>(height);
    const std::size_t lineBytes = columns * 3;
    std::vector<std::uint8_t> raw((lineBytes + 1) * rows);
    std::vector<std::uint8_t> previous(lineBytes, 0);
    std::vector<std::uint8_t> line(lineBytes);
    for (std::size_t row = 0; row < rows; ++row) {
        const std::uint8_t* source = rgbx.data() + row * rgbStride;
        for (std::size_t x = 0; x < columns; ++x) {
            std::copy_n(source + x * kRgbxBytes, 3, line.data() + x * 3);
        }
        std::uint8_t* out = raw.data() + row * (lineBytes + 1);
        out[0] = kFilterUp;
        for (std::size_t i = 0; i < lineBytes; ++i) {
            out[i + 1] = static_cast<std::uint8_t>(line[i] - previous[i]);
        }
        std::swap(previous, line);
    }
    uLongf packedBytes = compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> packed(packedBytes);
    if (compress2(packed.data(), &packedBytes, raw.data(), static_cast<uLong>(raw.size()),
                  std::clamp(compressLevel, 1, 9)) != Z_OK) {
        return {};
    }
    packed.resize(packedBytes);

    std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    vPutBe32(header, static_cast<std::uint32_t>(width));
    vPutBe32(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, filters, no interlace
    vPutChunk(png, "IHDR", header);
    vPutChunk(png, "IDAT", packed);
    vPutChunk(png, "IEND", {});
    return png;
}

std::vector<std::uint8_t> bufShrinkRgbx(int width, int height, std::span<const std::uint8_t> rgbx,
                                        std::size_t rgbStride, int maxWidth, int& newWidth,
                                        int& newHeight) {
    newWidth = 0;
    newHeight = 0;
    if (maxWidth <= 0 || !fgFits(width, height, rgbx.size(), rgbStride)) {
        return {};
    }
    const int outWidth = std::min(width, maxWidth);
    const int outHeight =
        std::max(1, static_cast<int>(static_cast<long long>(height) * outWidth / width));
    const auto outStride = static_cast<std::size_t>(outWidth) * kRgbxBytes;
    std::vector<std::uint8_t> out(outStride * static_cast<std::size_t>(outHeight));
    for (int y = 0; y < outHeight; ++y) {
        const auto sourceRow =
            static_cast<std::size_t>(static_cast<long long>(y) * height / outHeight);
        for (int x = 0; x < outWidth; ++x) {
            const auto sourceColumn =
                static_cast<std::size_t>(static_cast<long long>(x) * width / outWidth);
            std::copy_n(rgbx.data() + sourceRow * rgbStride + sourceColumn * kRgbxBytes, kRgbxBytes,
                        out.data() + static_cast<std::size_t>(y) * outStride +
                            static_cast<std::size_t>(x) * kRgbxBytes);
        }
    }
    newWidth = outWidth;
    newHeight = outHeight;
    return out;
}

std::vector<std::uint8_t> bufPngMono(int width, int height, std::span<const std::uint8_t> rows,
                                     std::size_t rowBytes) {
    if (width <= 0 || height <= 0) {
        return {};
    }
    const auto pixelBytes = (static_cast<std::size_t>(width) + 7) / 8;
    const auto rowCount = static_cast<std::size_t>(height);
    if (rowBytes < pixelBytes || rows.size() < rowBytes * rowCount) {
        return {};
    }
    std::vector<std::uint8_t> raw;
    raw.reserve((pixelBytes + 1) * rowCount);
    for (std::size_t row = 0; row < rowCount; ++row) {
        raw.push_back(0);  // filter: none
        const auto start = rows.begin() + static_cast<std::ptrdiff_t>(row * rowBytes);
        raw.insert(raw.end(), start, start + static_cast<std::ptrdiff_t>(pixelBytes));
    }
    uLongf packedBytes = compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> packed(packedBytes);
    if (compress2(packed.data(), &packedBytes, raw.data(), static_cast<uLong>(raw.size()),
                  Z_BEST_COMPRESSION) != Z_OK) {
        return {};
    }
    packed.resize(packedBytes);

    std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    vPutBe32(header, static_cast<std::uint32_t>(width));
    vPutBe32(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {1, 0, 0, 0, 0});  // 1 bit, greyscale, deflate, no filter, no
                                                   // interlace
    vPutChunk(png, "IHDR", header);
    vPutChunk(png, "IDAT", packed);
    vPutChunk(png, "IEND", {});
    return png;
}
