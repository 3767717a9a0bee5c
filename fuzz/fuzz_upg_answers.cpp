// The device's answers arrive as a byte stream cut anywhere. Whatever the bytes and
// however they are split, the parser keeps at most one unfinished answer and finds
// the same answers as when it reads everything at once.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "upgrade/upg_wire.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte chooses the read size, the rest is the stream.
    const std::size_t step = 1 + data[0] % 32;
    const std::span<const std::uint8_t> stream(data + 1, size - 1);

    CUpgAnswerParser whole;
    std::vector<EUpgAnswer> expected;
    whole.vFeed(stream, expected);

    CUpgAnswerParser pieces;
    std::vector<EUpgAnswer> found;
    for (std::size_t at = 0; at < stream.size(); at += step) {
        pieces.vFeed(stream.subspan(at, std::min(step, stream.size() - at)), found);
    }
    if (found != expected) {
        __builtin_trap();
    }
    return 0;
}
