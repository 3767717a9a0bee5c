// The live stream's bytes come from the device: whatever they are and however the
// reads cut them, the cutter hands out only whole packets inside its buffer, each as
// long as its head says, and stops for good at a bad magic or an impossible length.
//
// Input: byte 0 picks the buffer (the listen channel's 1,024 bytes or a small one);
// then, repeatedly, one byte gives the size of the next read (1 to 256) and that many
// bytes follow.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "media/stream_wire.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::size_t capacity = (data[0] & 1) != 0 ? kListenRecvBufferBytes : 40 + data[0];
    CMediaPacketCutter cutter(capacity);
    std::span<const std::uint8_t> input(data + 1, size - 1);
    while (!input.empty()) {
        const std::size_t wanted = std::size_t{input[0]} + 1;
        input = input.subspan(1);
        const std::span<std::uint8_t> free = cutter.spanFree();
        if (free.empty()) {
            __builtin_trap();
        }
        const std::size_t take = std::min({wanted, free.size(), input.size()});
        std::memcpy(free.data(), input.data(), take);
        cutter.vCommit(take);
        input = input.subspan(take);
        std::span<const std::uint8_t> packet;
        CCutResult cut = cutter.sNext(packet);
        for (; cut.m_eCut == ECut::kPacket; cut = cutter.sNext(packet)) {
            const auto head = sParseMediaHead(packet);
            if (!head || head->m_uiMagic != kStreamMagic ||
                packet.size() != kMediaHeadBytes + head->m_uiPayloadBytes ||
                packet.size() > cutter.iCapacity()) {
                __builtin_trap();
            }
        }
        if (cut.m_eCut != ECut::kNeedMore) {
            return 0;
        }
        cutter.vCompact();
    }
    return 0;
}
