#pragma once

// The sensor records a device sends: the entries of its sensor list and the record of
// a test or calibration result, and the text a test result is shown as.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

inline constexpr std::size_t kSensorEntryBytes = 40;
inline constexpr std::size_t kSensorResultBytes = 56;
inline constexpr std::size_t kSensorNameBytes = 32;
// Sensors the station keeps of one list.
inline constexpr std::size_t kSensorTableMax = 200;

struct CSensorEntry {
    std::string m_strName;  // UTF-8, at most 31 bytes, whole characters
    std::uint32_t m_uiIndex = 0;
    std::uint32_t m_uiKind = 0;
    bool operator==(const CSensorEntry&) const = default;
};

// One 40-byte list entry: name (32 bytes, NUL-padded), index byte at 32, kind byte at 34.
CSensorEntry sParseSensorEntry(std::span<const std::uint8_t, kSensorEntryBytes> entry);

struct CSensorResult {
    std::string m_strName;  // UTF-8, whole characters
    std::int32_t m_iType = 0;
    std::int32_t m_iMain = 0;
    std::uint16_t m_usSecond = 0;
    std::uint16_t m_usThird = 0;
    std::int32_t m_iSendDb = 0;
    std::int32_t m_iRecvDb = 0;
};

// The 56-byte record of a test or calibration result: name (32 bytes), type at 36,
// main value at 40, second and third values at 44 and 46, signal strengths at 48 and 52.
CSensorResult sParseSensorResult(std::span<const std::uint8_t, kSensorResultBytes> record);

// The lines a test result is shown as, translated: the name line, the lines of the
// sensor's type and the two signal lines, each at most 59 bytes (whole characters).
std::vector<std::string> vecSensorResultLines(const CSensorResult& result);
