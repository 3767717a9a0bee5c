#pragma once

// The default configuration as text: the configuration text a device sends, the
// operator's "key=value" item, the default flag word and the key functions.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/requests.h"

// The item of the configuration text whose bit 6 is the default push switch.
inline constexpr std::string_view kFlagZeroKey = "fg0_reset";
inline constexpr std::uint32_t kFlagZeroPushOff = 0x40;

// Characters of an item line that are read, and of its key and value.
inline constexpr std::size_t kConfigLineMaxChars = 127;
inline constexpr std::size_t kConfigFieldMaxChars = 31;
// Pieces an item line is split into at most.
inline constexpr std::size_t kConfigLineMaxPieces = 5;

// Looks for the first occurrence of key in the text (also inside a longer word). The
// character right after it must be a blank or "=", else the item is absent. From that
// character up to the first line break, the end of the text or 100 characters, every
// decimal digit is collected and everything else skipped; the number is their decimal
// value (none gives 0; a value beyond 32 bits is held at 0xFFFFFFFF).
std::optional<std::uint32_t> sFindConfigNumber(std::string_view text, std::string_view key);

// The pieces of an item line: its first kConfigLineMaxChars characters split at "="
// (runs of "=" count as one, leading and trailing ones are dropped), at most
// kConfigLineMaxPieces pieces.
std::vector<std::string> vecSplitConfigLine(std::string_view line);

struct CConfigItem {
    std::string m_strKey;
    std::string m_strValue;
    EConfigValueKind m_eKind = EConfigValueKind::kText;
    bool operator==(const CConfigItem&) const = default;
};

// The item of a line that splits into exactly two pieces: key and value, each cut to
// kConfigFieldMaxChars characters; a number when the value is digits only.
std::optional<CConfigItem> sParseConfigItem(std::string_view line);

// The value kind of an item value: a number when it holds digits only (or nothing).
EConfigValueKind eConfigValueKind(std::string_view value);

// A default sound volume text is accepted when its leading number (blanks and a sign
// allowed, stopping at the first other character) lies between 1 and 255.
bool fgVolumeTextValid(std::string_view text);

// The default flag word of the ticked rows: row i sets bit i up to row 6, bit i + 3
// from row 7 on (rows beyond 28 set nothing).
std::uint32_t uiDefaultFlagWord(std::span<const bool> ticked);

// The functions a device key may have, in the order the operator picks them.
inline constexpr std::array<std::uint32_t, 5> kKeyFunctionCodes{17, 18, 76, 117, 209};
inline constexpr std::array<const char*, 5> kKeyFunctionKeys{"Arming", "Disarming", "Force alarm",
                                                             "Unused Key", "Doorbell"};
inline constexpr int kUnusedKeyEntry = 3;
// The entry of a key function code, or -1 for a code not in the table.
int iKeyFunctionEntry(std::uint32_t code);
// The code of an entry: an entry beyond the table means an unused key, none (-1) gives 0.
std::uint32_t uiKeyFunctionCode(int entry);
