#pragma once

// The TCP live stream of a device (port 20554): the requests the client sends, the
// 40-byte head the device puts before every media packet, and the cutter that takes
// whole packets out of the received byte stream. Every function here is pure: the
// builders take plain values and return the bytes, the readers take a byte span and
// never read past it. All integers on the stream are little-endian.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

inline constexpr std::uint32_t kStreamMagic = 0x71077407;

// Request types (bytes 4 to 7 of a request).
inline constexpr std::uint32_t kReqGetStream = 0x00010000;        // video channel
inline constexpr std::uint32_t kReqGetListenStream = 0x00010012;  // listen channel
inline constexpr std::uint32_t kReqLogin = 0x00010004;
inline constexpr std::uint32_t kReqHeartbeat = 0x00010006;
inline constexpr std::uint32_t kReqSwitchStream = 0x00010008;

// Packet types (bytes 4 to 7 of a media packet head).
inline constexpr std::uint32_t kPktVideoFrame = 0x00010001;
inline constexpr std::uint32_t kPktLoginReply = 0x00010005;
inline constexpr std::uint32_t kPktAuthReply = 0x00010007;
inline constexpr std::uint32_t kPktSwitchReply = 0x00010009;
inline constexpr std::uint32_t kPktAudioFrame = 0x00010013;

// Results in the head of a reply.
inline constexpr std::int32_t kStreamResultOk = 0;
inline constexpr std::int32_t kStreamResultNoAuth = -2;
inline constexpr std::int32_t kStreamResultCheckFailed = -5;

// Stream ids and the codec byte of an H.264 video frame.
inline constexpr int kStreamMain = 0;
inline constexpr int kStreamSub = 1;
inline constexpr int kStreamListen = 3;
inline constexpr std::uint8_t kCodecH264 = 0x60;

inline constexpr std::size_t kRequestBytes = 20;
inline constexpr std::size_t kLoginRequestBytes = 84;
inline constexpr std::size_t kMediaHeadBytes = 40;
// Width of the user name and password fields (NUL included).
inline constexpr std::size_t kStreamTextField = 32;

// Receive buffers: the video channel holds the largest key frame a device sends,
// the listen channel a few audio frames.
inline constexpr std::size_t kVideoRecvBufferBytes = 913408;
inline constexpr std::size_t kListenRecvBufferBytes = 1024;

// The mode of a channel: which get-stream type it asks for and how big its buffer is.
enum class EStreamMode { kVideo = 0, kListen = 1 };

using StreamRequest = std::array<std::uint8_t, kRequestBytes>;
using StreamLoginRequest = std::array<std::uint8_t, kLoginRequestBytes>;

// Login: head, then user name at 20 and password at 52, each in 32 bytes, cut to 31
// characters and NUL-terminated.
StreamLoginRequest bufBuildStreamLogin(std::string_view user, std::string_view password);
// Get-stream: the type of the mode, stream id in byte 13 (its low 8 bits).
StreamRequest bufBuildGetStream(int streamId, EStreamMode mode);
// Switch-stream: stream id in byte 13.
StreamRequest bufBuildSwitchStream(int streamId);
// Heartbeat: the head alone.
StreamRequest bufBuildStreamHeartbeat();

// The 40-byte head before every media packet. Bytes 16, 18 to 21, 24 to 31 and 36 to
// 39 carry nothing the client relies on.
struct CMediaHead {
    std::uint32_t m_uiMagic = 0;
    std::uint32_t m_uiType = 0;
    std::int32_t m_iResult = 0;          // replies only
    std::uint32_t m_uiPayloadBytes = 0;  // the head not counted
    std::uint8_t m_ucStreamId = 0;       // video frames
    std::uint8_t m_ucCodec = 0;          // kCodecH264 for H.264
    std::uint8_t m_ucKeyFrame = 0;       // non-zero for an I-frame
    std::uint32_t m_uiSequence = 0;
    bool operator==(const CMediaHead&) const = default;
};

// Reads the head at the start of bytes; nullopt when fewer than 40 bytes are given.
// The magic is read, not checked.
std::optional<CMediaHead> sParseMediaHead(std::span<const std::uint8_t> bytes);
// The 40 head bytes of a record (what a device sends; used by tests and benchmarks).
std::array<std::uint8_t, kMediaHeadBytes> bufBuildMediaHead(const CMediaHead& head);

// A video frame is kept when its head's stream id is the one the channel wants, or is
// 2 or more (not one of the two video streams at all).
constexpr bool fgAcceptVideoFrame(std::uint8_t headStreamId, int wantedStreamId) {
    return headStreamId >= 2 || headStreamId == wantedStreamId;
}

// What the front of a receive buffer holds.
enum class ECut {
    kNeedMore,  // not yet a whole packet: read on
    kPacket,    // a whole packet of m_iBytes bytes (head included)
    kBadMagic,  // the head does not begin with the magic
    kOverflow,  // the head announces a payload that could never fit the buffer
};
struct CCutResult {
    ECut m_eCut = ECut::kNeedMore;
    std::size_t m_iBytes = 0;            // kPacket: head + payload
    std::uint32_t m_uiPayloadBytes = 0;  // kPacket, kOverflow: the announced payload
};

// Looks at the bytes buffered so far (the front of a buffer of capacity bytes, at
// least 40) and tells whether a whole packet is there. Reads only the 40 head bytes,
// and only once they are all there.
CCutResult sCutPacket(std::span<const std::uint8_t> buffered, std::size_t capacity);

// Incremental cutter over one buffer allocated once: read into spanFree(), say how
// much arrived with vCommit(), take packets with sNext() until it says kNeedMore,
// then vCompact() makes room for the next read, moving what is left of a packet to
// the front only when the packet would not fit behind it or little room is left. After kBadMagic or
// kOverflow the stream cannot be resynchronised; the owner drops the connection.
class CMediaPacketCutter {
  public:
    // capacity: 40 to any size; the buffer is allocated here (may throw bad_alloc).
    explicit CMediaPacketCutter(std::size_t capacity);

    // The free end of the buffer; after vCompact() never empty while the last sNext()
    // said kNeedMore.
    std::span<std::uint8_t> spanFree();
    // bytes (at most spanFree().size()) were written to the free end.
    void vCommit(std::size_t bytes);
    // The next whole packet, in place, valid until vCompact(); see ECut.
    CCutResult sNext(std::span<const std::uint8_t>& packet);
    // Moves the bytes after the packets taken to the front of the buffer.
    void vCompact();

    std::size_t iCapacity() const { return m_buffer.size(); }
    std::size_t iBuffered() const { return m_iFill - m_iStart; }

  private:
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_iStart = 0;  // first byte not yet cut
    std::size_t m_iFill = 0;   // bytes written
};
