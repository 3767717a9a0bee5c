#include "protocol/config_text.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::size_t kNumberScanChars = 100;

bool fgDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::optional<std::uint32_t> sFindConfigNumber(std::string_view text, std::string_view key) {
    if (key.empty()) {
        return std::nullopt;
    }
    const std::size_t at = text.find(key);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view rest = text.substr(at + key.size());
    if (rest.empty() || (rest.front() != ' ' && rest.front() != '=')) {
        return std::nullopt;
    }
    rest = rest.substr(0, std::min(rest.find_first_of("\r\n"), kNumberScanChars));
    std::uint64_t value = 0;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
    for (const char c : rest) {
        if (fgDigit(c)) {
            value = std::min<std::uint64_t>(value * 10 + static_cast<std::uint64_t>(c - '0'), kMax);
        }
    }
    return static_cast<std::uint32_t>(value);
}

std::vector<std::string> vecSplitConfigLine(std::string_view line) {
    line = line.substr(0, kConfigLineMaxChars);
    std::vector<std::string> pieces;
    std::size_t pos = 0;
    while (pieces.size() < kConfigLineMaxPieces) {
        pos = line.find_first_not_of('=', pos);
        if (pos == std::string_view::npos) {
            break;
        }
        const std::size_t end = std::min(line.find('=', pos), line.size());
        pieces.emplace_back(line.substr(pos, end - pos));
        pos = end;
    }
    return pieces;
}

EConfigValueKind eConfigValueKind(std::string_view value) {
    return std::all_of(value.begin(), value.end(), fgDigit) ? EConfigValueKind::kNumber
                                                            : EConfigValueKind::kText;
}

std::optional<CConfigItem> sParseConfigItem(std::string_view line) {
    std::vector<std::string> pieces = vecSplitConfigLine(line);
    if (pieces.size() != 2) {
        return std::nullopt;
    }
    CConfigItem item;
    item.m_strKey = pieces[0].substr(0, kConfigFieldMaxChars);
    item.m_strValue = pieces[1].substr(0, kConfigFieldMaxChars);
    item.m_eKind = eConfigValueKind(item.m_strValue);
    return item;
}

bool fgVolumeTextValid(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r'))) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    // Only whether the number lies in 1..255 matters: stop counting well above it.
    constexpr int kAbove = 1000;
    int value = 0;
    for (; pos < text.size() && fgDigit(text[pos]); ++pos) {
        value = std::min(value * 10 + (text[pos] - '0'), kAbove);
    }
    return !negative && value >= 1 && value <= 255;
}

std::uint32_t uiDefaultFlagWord(std::span<const bool> ticked) {
    constexpr std::size_t kDirectBits = 7;
    constexpr std::size_t kSkippedBits = 3;
    std::uint32_t word = 0;
    for (std::size_t row = 0; row < ticked.size(); ++row) {
        const std::size_t bit = row < kDirectBits ? row : row + kSkippedBits;
        if (ticked[row] && bit < 32) {
            word |= 1U << bit;
        }
    }
    return word;
}

int iKeyFunctionEntry(std::uint32_t code) {
    const auto found = std::find(kKeyFunctionCodes.begin(), kKeyFunctionCodes.end(), code);
    return found == kKeyFunctionCodes.end() ? -1
                                            : static_cast<int>(found - kKeyFunctionCodes.begin());
}

std::uint32_t uiKeyFunctionCode(int entry) {
    if (entry < 0) {
        return 0;
    }
    const auto index = static_cast<std::size_t>(entry);
    return index < kKeyFunctionCodes.size() ? kKeyFunctionCodes[index]
                                            : kKeyFunctionCodes[kUnusedKeyEntry];
}
