#pragma once

// The device side of the firmware transfer: the file head as a device reads it, the
// answers it sends, the digest it keeps of each file, and the switches that make a
// device misbehave during a transfer. Written from the head's table, independently of
// the station's builder.

#include <nettle/sha2.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace devsim {

// Head layout: magic, file count, reserved, then per file size, type and a 160-byte
// name field. All little-endian.
inline constexpr std::uint32_t kUpgMagic = 0x1234ABCD;
inline constexpr std::size_t kUpgHeadStart = 12;
inline constexpr std::size_t kUpgEntryBytes = 168;
inline constexpr std::size_t kUpgNameField = 160;
inline constexpr std::size_t kUpgNameLongest = 31;
inline constexpr std::uint32_t kUpgFilesMost = 8;

inline constexpr std::string_view kRecvFileOk = "RECVFILE OK";
inline constexpr std::string_view kRecvFileFailed = "RECVFILE FAILED";

// One file announced by the head.
struct CSimUpgHeadFile {
    std::uint32_t m_uiSize = 0;
    std::uint32_t m_uiType = 0;
    std::string m_strName;
    bool operator==(const CSimUpgHeadFile&) const = default;
};

// Reads the head at the start of bytes. Returns its length (files filled), 0 when
// bytes holds less than the whole head, or -1 when it is malformed: wrong magic, a
// file count outside 1..8, a size below 1 or above 2^31 - 1, or a name that is longer
// than 31 bytes (no zero byte among the first 32 of its field).
int iParseSimUpgHead(std::span<const std::uint8_t> bytes, std::vector<CSimUpgHeadFile>& files);

// A file the device received completely.
struct CSimUpgFile {
    std::string m_strName;
    std::uint32_t m_uiType = 0;
    std::uint64_t m_ulSize = 0;
    std::string m_strSha256;  // lower-case hex
    bool operator==(const CSimUpgFile&) const = default;
};

// SHA-256 over a stream of bytes.
class CSimSha256 {
  public:
    CSimSha256();
    void vUpdate(std::span<const std::uint8_t> bytes);
    // The digest in lower-case hex; the object starts over afterwards.
    std::string strHexDigest();

  private:
    sha256_ctx m_ctx{};
};

// How the device takes the transfer connection.
enum class EUpgMode : std::uint8_t {
    kListen,       // listens on TCP 24215 of its address
    kConnectBack,  // connects to the requester's TCP 24214 when asked to upgrade
    kRefuse,       // neither: every connection attempt is refused
};

// What goes wrong during a transfer.
enum class EUpgFault : std::uint8_t {
    kNone,          // answers "RECVFILE OK" once every file is in
    kAnswerFailed,  // answers "RECVFILE FAILED" instead
    kCloseMidway,   // closes the connection halfway through the first file
    kStall,         // stops reading after the head
    kDoubleAnswer,  // answers "RECVFILE OK" twice in one segment
    kSplitAnswer,   // answers "RECVFILE OK" in two segments
};

}  // namespace devsim
