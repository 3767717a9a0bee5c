#include "media/stream_wire.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t kOffMagic = 0;
constexpr std::size_t kOffType = 4;
constexpr std::size_t kOffResult = 8;
constexpr std::size_t kOffPayloadBytes = 12;
constexpr std::size_t kOffRequestStreamId = 13;
constexpr std::size_t kOffHeadStreamId = 17;
constexpr std::size_t kOffCodec = 22;
constexpr std::size_t kOffKeyFrame = 23;
constexpr std::size_t kOffSequence = 32;
constexpr std::size_t kOffLoginUser = 20;
constexpr std::size_t kOffLoginPassword = 52;
// Free room below which the cutter moves a packet in progress to the front.
constexpr std::size_t kCompactRoomBytes = 64 * 1024;

void vPutU32(std::span<std::uint8_t> out, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        out[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint32_t iGetU32(std::span<const std::uint8_t> in, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= std::uint32_t{in[offset + i]} << (8 * i);
    }
    return value;
}

void vPutText(std::span<std::uint8_t> out, std::size_t offset, std::string_view text) {
    const std::size_t bytes = std::min(text.size(), kStreamTextField - 1);
    std::memcpy(out.data() + offset, text.data(), bytes);
}

StreamRequest bufHead(std::uint32_t type) {
    StreamRequest request{};
    vPutU32(request, kOffMagic, kStreamMagic);
    vPutU32(request, kOffType, type);
    return request;
}

}  // namespace

StreamLoginRequest bufBuildStreamLogin(std::string_view user, std::string_view password) {
    StreamLoginRequest request{};
    const StreamRequest head = bufHead(kReqLogin);
    std::copy(head.begin(), head.end(), request.begin());
    vPutText(request, kOffLoginUser, user);
    vPutText(request, kOffLoginPassword, password);
    return request;
}

StreamRequest bufBuildGetStream(int streamId, EStreamMode mode) {
    StreamRequest request =
        bufHead(mode == EStreamMode::kListen ? kReqGetListenStream : kReqGetStream);
    request[kOffRequestStreamId] = static_cast<std::uint8_t>(streamId);
    return request;
}

StreamRequest bufBuildSwitchStream(int streamId) {
    StreamRequest request = bufHead(kReqSwitchStream);
    request[kOffRequestStreamId] = static_cast<std::uint8_t>(streamId);
    return request;
}

StreamRequest bufBuildStreamHeartbeat() {
    return bufHead(kReqHeartbeat);
}

std::optional<CMediaHead> sParseMediaHead(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kMediaHeadBytes) {
        return std::nullopt;
    }
    CMediaHead head;
    head.m_uiMagic = iGetU32(bytes, kOffMagic);
    head.m_uiType = iGetU32(bytes, kOffType);
    head.m_iResult = static_cast<std::int32_t>(iGetU32(bytes, kOffResult));
    head.m_uiPayloadBytes = iGetU32(bytes, kOffPayloadBytes);
    head.m_ucStreamId = bytes[kOffHeadStreamId];
    head.m_ucCodec = bytes[kOffCodec];
    head.m_ucKeyFrame = bytes[kOffKeyFrame];
    head.m_uiSequence = iGetU32(bytes, kOffSequence);
    return head;
}

std::array<std::uint8_t, kMediaHeadBytes> bufBuildMediaHead(const CMediaHead& head) {
    std::array<std::uint8_t, kMediaHeadBytes> bytes{};
    vPutU32(bytes, kOffMagic, head.m_uiMagic);
    vPutU32(bytes, kOffType, head.m_uiType);
    vPutU32(bytes, kOffResult, static_cast<std::uint32_t>(head.m_iResult));
    vPutU32(bytes, kOffPayloadBytes, head.m_uiPayloadBytes);
    bytes[kOffHeadStreamId] = head.m_ucStreamId;
    bytes[kOffCodec] = head.m_ucCodec;
    bytes[kOffKeyFrame] = head.m_ucKeyFrame;
    vPutU32(bytes, kOffSequence, head.m_uiSequence);
    return bytes;
}

CCutResult sCutPacket(std::span<const std::uint8_t> buffered, std::size_t capacity) {
    CCutResult result;
    if (buffered.size() < kMediaHeadBytes) {
        return result;
    }
    if (iGetU32(buffered, kOffMagic) != kStreamMagic) {
        result.m_eCut = ECut::kBadMagic;
        return result;
    }
    result.m_uiPayloadBytes = iGetU32(buffered, kOffPayloadBytes);
    // Compared in size_t, so no announced length can wrap the sum below.
    if (capacity < kMediaHeadBytes || result.m_uiPayloadBytes > capacity - kMediaHeadBytes) {
        result.m_eCut = ECut::kOverflow;
        return result;
    }
    const std::size_t packetBytes = kMediaHeadBytes + result.m_uiPayloadBytes;
    if (buffered.size() >= packetBytes) {
        result.m_eCut = ECut::kPacket;
        result.m_iBytes = packetBytes;
    }
    return result;
}

CMediaPacketCutter::CMediaPacketCutter(std::size_t capacity)
    : m_buffer(std::max(capacity, kMediaHeadBytes)) {}

std::span<std::uint8_t> CMediaPacketCutter::spanFree() {
    return std::span<std::uint8_t>(m_buffer).subspan(m_iFill);
}

void CMediaPacketCutter::vCommit(std::size_t bytes) {
    m_iFill += std::min(bytes, m_buffer.size() - m_iFill);
}

CCutResult CMediaPacketCutter::sNext(std::span<const std::uint8_t>& packet) {
    const std::span<const std::uint8_t> buffered =
        std::span<const std::uint8_t>(m_buffer).subspan(m_iStart, m_iFill - m_iStart);
    const CCutResult result = sCutPacket(buffered, m_buffer.size());
    if (result.m_eCut == ECut::kPacket) {
        packet = buffered.first(result.m_iBytes);
        m_iStart += result.m_iBytes;
    }
    return result;
}

void CMediaPacketCutter::vCompact() {
    const std::size_t left = m_iFill - m_iStart;
    if (left == 0) {
        m_iStart = 0;
        m_iFill = 0;
        return;
    }
    // Where the packet in progress will end: its head says once it is all there.
    const CCutResult cut = sCutPacket(
        std::span<const std::uint8_t>(m_buffer).subspan(m_iStart, left), m_buffer.size());
    const std::size_t packetBytes =
        left >= kMediaHeadBytes ? kMediaHeadBytes + cut.m_uiPayloadBytes : kMediaHeadBytes;
    // Bytes stay where they are while the packet fits behind them and a read still has
    // room; moving them after every read would copy a big key frame many times over.
    const std::size_t roomWanted = std::min(kCompactRoomBytes, m_buffer.size() / 4);
    if (m_iStart == 0 ||
        (m_iStart + packetBytes <= m_buffer.size() && m_buffer.size() - m_iFill >= roomWanted)) {
        return;
    }
    std::memmove(m_buffer.data(), m_buffer.data() + m_iStart, left);
    m_iStart = 0;
    m_iFill = left;
}
