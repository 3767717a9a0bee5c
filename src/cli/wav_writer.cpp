#include "cli/wav_writer.h"

#include <limits>

namespace {

constexpr std::uint32_t kHeadBytes = 44;
constexpr std::uint32_t kFormatChunkBytes = 16;
constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kChannels = 1;
constexpr std::uint16_t kBytesPerSample = 2;

void vPutText(std::vector<std::uint8_t>& out, const char (&text)[5]) {
    out.insert(out.end(), text, text + 4);
}

void vPutLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

}  // namespace

std::vector<std::uint8_t> bufWavMono16(std::span<const std::int16_t> samples,
                                       std::uint32_t samplesPerSecond) {
    constexpr std::size_t kMaxDataBytes = std::numeric_limits<std::uint32_t>::max() - kHeadBytes;
    if (samples.size() > kMaxDataBytes / kBytesPerSample) {
        return {};
    }
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * kBytesPerSample);
    std::vector<std::uint8_t> out;
    out.reserve(kHeadBytes + dataBytes);
    vPutText(out, "RIFF");
    vPutLe(out, kHeadBytes - 8 + dataBytes, 4);
    vPutText(out, "WAVE");
    vPutText(out, "fmt ");
    vPutLe(out, kFormatChunkBytes, 4);
    vPutLe(out, kFormatPcm, 2);
    vPutLe(out, kChannels, 2);
    vPutLe(out, samplesPerSecond, 4);
    vPutLe(out, samplesPerSecond * kChannels * kBytesPerSample, 4);
    vPutLe(out, kChannels * kBytesPerSample, 2);
    vPutLe(out, 8 * kBytesPerSample, 2);
    vPutText(out, "data");
    vPutLe(out, dataBytes, 4);
    for (const std::int16_t sample : samples) {
        vPutLe(out, static_cast<std::uint16_t>(sample), 2);
    }
    return out;
}
