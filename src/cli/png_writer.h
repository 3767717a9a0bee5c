#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// A PNG file of a black-and-white picture: 1-bit greyscale (0 black, 1 white), no
// interlacing, each row stored unfiltered and the whole compressed with zlib.
// rows: height rows of rowBytes bytes each, top row first, the pixels packed from the
// most significant bit; rowBytes >= (width + 7) / 8, and bytes beyond that are left
// out. Returns the file's bytes, empty when width or height is not positive or rows
// is too short.
std::vector<std::uint8_t> bufPngMono(int width, int height, std::span<const std::uint8_t> rows,
                                     std::size_t rowBytes);
