#pragma once

// The operator's key command line ("5 0x10 300"): a key code and its parameter bytes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// Characters of the command line that are read; the rest is ignored.
inline constexpr std::size_t kKeyLineMaxChars = 127;

struct CKeyCommand {
    std::int32_t m_iKey = 0;
    std::vector<std::uint8_t> m_params;
    bool operator==(const CKeyCommand&) const = default;
};

// Parses the first kKeyLineMaxChars characters of a command line. An empty line gives
// nothing. The pieces are separated by blanks (spaces and tabs); the first is the key
// code in decimal (a text of blanks only gives key 0). Every further piece is a number,
// hexadecimal after "0x" or "0X" (unsigned, at most 8 digits, a longer one gives 0), decimal
// otherwise (a piece without leading digits gives 0; a decimal number beyond the 32-bit
// range is clamped to it). Each number contributes its low bytes, least significant
// first: one when it is below 256 (negative numbers included), two up to 0xFFFF, three
// below 0x1000000, else four.
std::optional<CKeyCommand> sParseKeyCommand(std::string_view line);
