// A video packet's payload comes from the camera: whatever its bytes, decoding stays
// inside the picture buffer it is given, a picture that does not fit is refused, and
// the colour conversion of what was decoded stays inside its image.
// Input: two bytes giving the picture buffer size in units of 16 bytes, then one
// access unit.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "media/h264_docoder.h"
#include "media/yuv_to_rgb.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::size_t bufferBytes = (static_cast<std::size_t>(data[0]) << 8 | data[1]) * 16;
    // Exact sizes, so that the sanitizers see a write past either buffer.
    std::vector<std::uint8_t> picture(bufferBytes);
    CH264Docoder decoder;
    int width = 0;
    int height = 0;
    if (decoder.iDecode(std::span(data + 2, size - 2), 0, picture, width, height) != 1) {
        return 0;
    }
    if (width <= 0 || height <= 0 || uiPictureBytes(width, height) > bufferBytes) {
        __builtin_trap();
    }
    static const CYuvToRgb converter;
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) *
                                  static_cast<std::size_t>(height) * 4);
    if (converter.iConvert(sPackedPicture(picture, width, height), rgb, width * 4) != 0) {
        __builtin_trap();
    }
    return 0;
}
