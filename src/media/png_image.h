#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// A PNG file of a colour picture: 8-bit RGB, no interlacing, every row filtered with
// "up" (which suits camera pictures) and the whole compressed with zlib.
// rgbx: height rows, rgbStride bytes apart, each pixel four bytes R, G, B, X (the
// layout CYuvToRgb writes); the fourth byte is left out. compressLevel: 1 (fast) to 9.
// Returns the file's bytes, empty when width or height is not positive, the stride is
// below 4 x width or rgbx is too short.
std::vector<std::uint8_t> bufPngRgb(int width, int height, std::span<const std::uint8_t> rgbx,
                                    std::size_t rgbStride, int compressLevel = 6);

// The picture scaled down (nearest pixel) so that it is at most maxWidth wide, keeping
// its proportions; the same layout as the input, rows 4 x newWidth bytes apart. A
// picture already narrow enough is copied. newWidth and newHeight get the size.
std::vector<std::uint8_t> bufShrinkRgbx(int width, int height, std::span<const std::uint8_t> rgbx,
                                        std::size_t rgbStride, int maxWidth, int& newWidth,
                                        int& newHeight);

// A PNG file of a black-and-white picture: 1-bit greyscale (0 black, 1 white), no
// interlacing, each row stored unfiltered and the whole compressed with zlib.
// rows: height rows of rowBytes bytes each, top row first, the pixels packed from the
// most significant bit; rowBytes >= (width + 7) / 8, and bytes beyond that are left
// out. Returns the file's bytes, empty when width or height is not positive or rows
// is too short.
std::vector<std::uint8_t> bufPngMono(int width, int height, std::span<const std::uint8_t> rows,
                                     std::size_t rowBytes);
