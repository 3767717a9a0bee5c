#include "protocol/key_command.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "app/str_util.h"

namespace {

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr int kMaxHexDigits = 8;

bool fgIsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Leading sign and decimal digits of a piece, as a 32-bit number (clamped); 0 when
// the piece does not start with a number.
std::int32_t iDecimal(std::string_view piece) {
    std::size_t pos = 0;
    bool negative = false;
    if (pos < piece.size() && (piece[pos] == '+' || piece[pos] == '-')) {
        negative = piece[pos] == '-';
        ++pos;
    }
    std::int64_t value = 0;
    for (; pos < piece.size() && piece[pos] >= '0' && piece[pos] <= '9'; ++pos) {
        value = std::min(value * 10 + (piece[pos] - '0'), kInt32Max + 1);
    }
    return static_cast<std::int32_t>(std::clamp(negative ? -value : value, kInt32Min, kInt32Max));
}

// A hexadecimal number is unsigned: 0xFFFFFFFF is four bytes, not the one of -1.
std::int64_t iParamValue(std::string_view piece) {
    if (piece.size() > 2 && piece[0] == '0' && (piece[1] == 'x' || piece[1] == 'X')) {
        const std::string digits(piece.substr(2));
        const int count = digits.size() > static_cast<std::size_t>(kMaxHexDigits)
                              ? kMaxHexDigits + 1
                              : static_cast<int>(digits.size());
        return iHexStrToVal(digits.c_str(), count);
    }
    return iDecimal(piece);
}

std::size_t uByteCount(std::int64_t value) {
    if (value < 0x100) {
        return 1;
    }
    if (value <= 0xFFFF) {
        return 2;
    }
    return value < 0x1000000 ? 3 : 4;
}

}  // namespace

std::optional<CKeyCommand> sParseKeyCommand(std::string_view line) {
    line = line.substr(0, std::min(line.size(), kKeyLineMaxChars));
    if (line.empty()) {
        return std::nullopt;
    }
    CKeyCommand command;
    bool first = true;
    std::size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && fgIsBlank(line[pos])) {
            ++pos;
        }
        const std::size_t start = pos;
        while (pos < line.size() && !fgIsBlank(line[pos])) {
            ++pos;
        }
        if (start == pos) {
            break;
        }
        const std::string_view piece = line.substr(start, pos - start);
        if (first) {
            command.m_iKey = iDecimal(piece);
            first = false;
            continue;
        }
        const std::int64_t value = iParamValue(piece);
        const auto bits = static_cast<std::uint32_t>(value);
        for (std::size_t index = 0; index < uByteCount(value); ++index) {
            command.m_params.push_back(static_cast<std::uint8_t>(bits >> (8 * index)));
        }
    }
    return command;
}
