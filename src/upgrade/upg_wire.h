#pragma once

// What goes over the wire for a firmware upgrade: the UDP request that announces it,
// the file head that opens every transfer connection and the device's plain-text
// answers. Pure functions over bytes; nothing here reads past the span it is given.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The upgrade request: command header with code 0x14 and parameter byte 0x66.
inline constexpr std::size_t kUpgRequestBytes = 16;
std::array<std::uint8_t, kUpgRequestBytes> bufBuildUpgRequest();

// File head: 12 fixed bytes, then 168 bytes per file (little-endian).
inline constexpr std::uint32_t kUpgHeadMagic = 0x1234ABCD;
inline constexpr std::size_t kUpgHeadFixedBytes = 12;
inline constexpr std::size_t kUpgHeadEntryBytes = 168;
inline constexpr std::size_t kUpgHeadNameBytes = 160;
// Longest name sent; the field always ends with a zero byte.
inline constexpr std::size_t kUpgHeadNameMax = 31;
// Largest size the head's signed 32-bit field holds.
inline constexpr std::uint64_t kUpgFileBytesMax = 0x7FFFFFFF;

struct CUpgHeadEntry {
    std::uint32_t m_uiSize = 0;  // 1 .. kUpgFileBytesMax
    std::uint32_t m_uiType = 0;
    std::string m_strName;  // cut to kUpgHeadNameMax bytes when written
};

// The head for the files, 12 + 168 x N bytes; empty when there are none or more
// than eight.
std::vector<std::uint8_t> bufBuildFileHead(std::span<const CUpgHeadEntry> entries);

// The name a path is sent under: its part after the last '\' or '/', cut to at most
// kUpgHeadNameMax bytes without splitting a UTF-8 character.
std::string strUpgFileName(std::string_view path);

// The device's answers.
inline constexpr std::string_view kUpgAnswerOk = "RECVFILE OK";
inline constexpr std::string_view kUpgAnswerFailed = "RECVFILE FAILED";
enum class EUpgAnswer : std::uint8_t { kOk, kFailed };

// Finds the answers in the byte stream of a transfer connection, however the reads
// cut it: two answers in one read are two answers, an answer split over two reads is
// one. Anything else between them is skipped. Keeps at most the bytes of one
// unfinished answer.
class CUpgAnswerParser {
  public:
    // Appends the answers that end inside bytes to answers, in order.
    void vFeed(std::span<const std::uint8_t> bytes, std::vector<EUpgAnswer>& answers);

  private:
    std::string m_strPending;
};
