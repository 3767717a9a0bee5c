#pragma once

#include <cstdint>
#include <span>
#include <vector>

// A WAV file of 16-bit signed PCM, one channel: the 44-byte RIFF head, then the
// samples little-endian. Empty when the data would not fit the head's 32-bit sizes.
std::vector<std::uint8_t> bufWavMono16(std::span<const std::int16_t> samples,
                                       std::uint32_t samplesPerSecond);
