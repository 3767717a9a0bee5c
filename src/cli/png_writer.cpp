#include "cli/png_writer.h"

#include <zlib.h>

#include <array>
#include <string_view>

namespace {

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

}  // namespace

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
