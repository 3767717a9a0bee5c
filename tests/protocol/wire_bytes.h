#pragma once

// Expected datagrams written out as text, so that each test row shows its bytes:
// "A8 01" are bytes, "00x14" is the byte 00 fourteen times, 'admin' is the ASCII text.

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

inline std::vector<std::uint8_t> WireBytes(std::string_view pattern) {
    std::vector<std::uint8_t> bytes;
    std::size_t pos = 0;
    while (pos < pattern.size()) {
        if (pattern[pos] == ' ') {
            ++pos;
            continue;
        }
        if (pattern[pos] == '\'') {
            const std::size_t close = pattern.find('\'', pos + 1);
            if (close == std::string_view::npos) {
                throw std::invalid_argument("unterminated text");
            }
            bytes.insert(bytes.end(), pattern.begin() + static_cast<long>(pos) + 1,
                         pattern.begin() + static_cast<long>(close));
            pos = close + 1;
            continue;
        }
        const std::size_t end = std::min(pattern.find(' ', pos), pattern.size());
        const std::string token(pattern.substr(pos, end - pos));
        const std::size_t times = token.find('x');
        const auto value = static_cast<std::uint8_t>(std::stoul(token.substr(0, 2), nullptr, 16));
        const std::size_t count =
            times == std::string::npos ? 1 : std::stoul(token.substr(times + 1));
        bytes.insert(bytes.end(), count, value);
        pos = end;
    }
    return bytes;
}
