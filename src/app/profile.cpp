#include "app/profile.h"

#include <cctype>

namespace {

std::string_view svTrim(std::string_view text) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool fgEqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// Longest prefix of at most maxBytes that does not split a GBK lead/trail pair.
size_t iGbkCut(std::string_view text, size_t maxBytes) {
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t width = (c >= 0x81 && c <= 0xFE && i + 1 < text.size()) ? 2 : 1;
        if (i + width > maxBytes) {
            break;
        }
        i += width;
    }
    return i;
}

}  // namespace

std::string strProfileValue(std::string_view fileText, std::string_view section,
                            std::string_view key, size_t maxBytes) {
    const std::string_view wantedSection = svTrim(section);
    const std::string_view wantedKey = svTrim(key);
    bool inSection = false;
    while (!fileText.empty()) {
        const size_t end = fileText.find('\n');
        const std::string_view line =
            svTrim(fileText.substr(0, end == std::string_view::npos ? fileText.size() : end));
        fileText.remove_prefix(end == std::string_view::npos ? fileText.size() : end + 1);

        if (line.empty() || line.front() == ';') {
            continue;
        }
        if (line.front() == '[') {
            const size_t close = line.find(']');
            const std::string_view name = svTrim(
                line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
            inSection = fgEqualNoCase(name, wantedSection);
            continue;
        }
        const size_t equals = line.find('=');
        if (!inSection || equals == std::string_view::npos ||
            !fgEqualNoCase(svTrim(line.substr(0, equals)), wantedKey)) {
            continue;
        }
        std::string_view value = svTrim(line.substr(equals + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        return std::string(value.substr(0, iGbkCut(value, maxBytes)));
    }
    return {};
}
