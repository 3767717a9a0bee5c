#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// A real QR Code reader (zbar) for the tests: what it finds in a picture.

// grey: width * height bytes, one per pixel, rows top-down.
std::vector<std::string> vecReadQrGrey(std::span<const std::uint8_t> grey, int width, int height);

// bmp: the bytes of a 1-bit-per-pixel Windows bitmap file, read with its own header and
// palette; nothing is found in a file that is not one.
std::vector<std::string> vecReadQrBmp(std::span<const std::uint8_t> bmp);
