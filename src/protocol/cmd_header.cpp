#include "protocol/cmd_header.h"

#include <algorithm>

namespace {

bool fgFieldFits(std::size_t spanBytes, std::size_t offset, std::size_t fieldBytes) {
    return offset <= spanBytes && fieldBytes <= spanBytes - offset;
}

}  // namespace

std::uint16_t usReadLe16(std::span<const std::uint8_t> bytes, std::size_t offset) {
    if (!fgFieldFits(bytes.size(), offset, 2)) {
        return 0;
    }
    return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

std::uint32_t uiReadLe32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    if (!fgFieldFits(bytes.size(), offset, 4)) {
        return 0;
    }
    return static_cast<std::uint32_t>(bytes[offset]) |
           (static_cast<std::uint32_t>(bytes[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[offset + 2]) << 16) |
           (static_cast<std::uint32_t>(bytes[offset + 3]) << 24);
}

void vWriteLe16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value) {
    if (!fgFieldFits(bytes.size(), offset, 2)) {
        return;
    }
    bytes[offset] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

void vWriteLe32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
    if (!fgFieldFits(bytes.size(), offset, 4)) {
        return;
    }
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
    }
}

int iWriteCmdHeader(std::span<std::uint8_t> out, const CCmdHeader& header) {
    if (out.size() < kCmdHeaderBytes) {
        return -1;
    }
    out[0] = header.m_byStart;
    out[kCmdOffCode] = header.m_byCode;
    vWriteLe16(out, kCmdOffPayloadLen, header.m_usPayloadLen);
    vWriteLe32(out, kCmdOffWordA, header.m_uiWordA);
    vWriteLe32(out, kCmdOffWordB, header.m_uiWordB);
    out[kCmdOffParam] = header.m_byParam;
    for (std::size_t i = 0; i < header.m_abyExtra.size(); ++i) {
        out[kCmdOffExtra + i] = header.m_abyExtra[i];
    }
    return 0;
}

std::optional<CCmdHeader> sReadCmdHeader(std::span<const std::uint8_t> datagram) {
    if (datagram.size() < kCmdHeaderBytes) {
        return std::nullopt;
    }
    CCmdHeader header;
    header.m_byStart = datagram[0];
    header.m_byCode = datagram[kCmdOffCode];
    header.m_usPayloadLen = usReadLe16(datagram, kCmdOffPayloadLen);
    header.m_uiWordA = uiReadLe32(datagram, kCmdOffWordA);
    header.m_uiWordB = uiReadLe32(datagram, kCmdOffWordB);
    header.m_byParam = datagram[kCmdOffParam];
    for (std::size_t i = 0; i < header.m_abyExtra.size(); ++i) {
        header.m_abyExtra[i] = datagram[kCmdOffExtra + i];
    }
    return header;
}

void vPutTextField(std::span<std::uint8_t> out, std::size_t offset, std::size_t width,
                   std::string_view text, ETextCut cut) {
    if (width == 0 || !fgFieldFits(out.size(), offset, width)) {
        return;
    }
    const std::size_t room = cut == ETextCut::kFullWidth ? width : width - 1;
    std::size_t taken = std::min(text.size(), room);
    if (cut == ETextCut::kTerminatedUtf8 && taken < text.size()) {
        // Back off over continuation bytes (10xxxxxx) so the cut falls on a character start.
        while (taken > 0 && (static_cast<unsigned char>(text[taken]) & 0xC0) == 0x80) {
            --taken;
        }
    }
    const auto field = out.subspan(offset, width);
    std::fill(field.begin(), field.end(), std::uint8_t{0});
    std::copy_n(text.begin(), taken, field.begin());
}
