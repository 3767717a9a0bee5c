#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "protocol/cmd_header.h"

// Bounded reads of a received reply. Bytes past the received length read as zero, as
// they would in the zero-filled receive buffer, but no count taken from the reply can
// make a read leave the datagram.
class CReplyReader {
  public:
    explicit CReplyReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    std::uint8_t byAt(std::size_t offset) const {
        return offset < m_bytes.size() ? m_bytes[offset] : 0;
    }
    std::uint16_t usAt(std::size_t offset) const { return usReadLe16(m_bytes, offset); }
    std::uint32_t uiAt(std::size_t offset) const { return uiReadLe32(m_bytes, offset); }
    // The bytes [offset, offset + count) that were received.
    std::span<const std::uint8_t> spanAt(std::size_t offset, std::size_t count) const {
        if (offset >= m_bytes.size()) {
            return {};
        }
        return m_bytes.subspan(offset, std::min(count, m_bytes.size() - offset));
    }
    // Copies N bytes from offset; what was not received stays zero.
    template <std::size_t N>
    std::array<std::uint8_t, N> arrAt(std::size_t offset) const {
        std::array<std::uint8_t, N> out{};
        const auto got = spanAt(offset, N);
        std::copy(got.begin(), got.end(), out.begin());
        return out;
    }
    std::size_t size() const { return m_bytes.size(); }
    std::span<const std::uint8_t> bytes() const { return m_bytes; }

    std::uint8_t byType() const { return byAt(kCmdOffCode); }
    std::uint8_t byParam() const { return byAt(kCmdOffParam); }
    std::uint16_t usPayloadLen() const { return usAt(kCmdOffPayloadLen); }

  private:
    std::span<const std::uint8_t> m_bytes;
};
