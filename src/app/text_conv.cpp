#include "app/text_conv.h"

#include <cstring>
#include <vector>

#include "app/log.h"
#include "platform/text_codec.h"

bool fgIsUtf8Charset(const std::string& charset) {
    return charset == "UTF-8" || charset == "utf8" || charset == "ANSI_X3.4-1968" ||
           charset == "ASCII";
}

namespace {

// Decodes UTF-8 leniently: every invalid sequence becomes U+FFFD.
std::u32string strDecodeUtf8(std::string_view text) {
    std::u32string out;
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0U) == 0xC0U) {
            extra = 1, cp = lead & 0x1FU, min = 0x80;
        } else if ((lead & 0xF0U) == 0xE0U) {
            extra = 2, cp = lead & 0x0FU, min = 0x800;
        } else if ((lead & 0xF8U) == 0xF0U) {
            extra = 3, cp = lead & 0x07U, min = 0x10000;
        } else {
            out.push_back(U'\uFFFD');
            ++i;
            continue;
        }
        bool valid = i + static_cast<size_t>(extra) < text.size();
        for (int k = 1; valid && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            if ((next & 0xC0U) != 0x80U) {
                valid = false;
                break;
            }
            cp = (cp << 6U) | (next & 0x3FU);
        }
        if (!valid || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(U'\uFFFD');
            ++i;
            continue;
        }
        out.push_back(cp);
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

void vAppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0U | (cp >> 6U)));
        out.push_back(static_cast<char>(0x80U | (cp & 0x3FU)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0U | (cp >> 12U)));
        out.push_back(static_cast<char>(0x80U | ((cp >> 6U) & 0x3FU)));
        out.push_back(static_cast<char>(0x80U | (cp & 0x3FU)));
    } else {
        out.push_back(static_cast<char>(0xF0U | (cp >> 18U)));
        out.push_back(static_cast<char>(0x80U | ((cp >> 12U) & 0x3FU)));
        out.push_back(static_cast<char>(0x80U | ((cp >> 6U) & 0x3FU)));
        out.push_back(static_cast<char>(0x80U | (cp & 0x3FU)));
    }
}

int iUtf16Units(std::string_view utf8) {
    int units = 0;
    for (const char32_t cp : strDecodeUtf8(utf8)) {
        units += cp >= 0x10000 ? 2 : 1;
    }
    return units;
}

}  // namespace

std::optional<std::string> strToUtf8(std::string_view text, const char* fromCharset) {
    return strConvertCharset(text, "UTF-8", fromCharset);
}

std::string strSanitizeUtf8(std::string_view text) {
    std::string clean;
    clean.reserve(text.size());
    for (const char32_t cp : strDecodeUtf8(text)) {
        vAppendUtf8(clean, cp);
    }
    return clean;
}

std::optional<std::string> strFromUtf8(std::string_view text, const char* toCharset) {
    return strConvertCharset(text, toCharset, "UTF-8");
}

int iAnsi2Utf8(int length, const char* source, char* destination, int destinationSize) {
    if (source == nullptr || length < 0 || 2 * length + 2 >= 2 * kConvUnitsMax) {
        KLOG_INFO("too long");
        return -2;
    }
    const std::string_view text(source, static_cast<size_t>(length));
    const std::string charset = strLocalCharset();
    std::optional<std::string> utf8;
    if (fgIsUtf8Charset(charset)) {
        // Invalid bytes become U+FFFD, as the system conversion does.
        utf8 = strSanitizeUtf8(text);
    } else {
        utf8 = strToUtf8(text, charset.c_str());
    }
    const int units = utf8 ? iUtf16Units(*utf8) : 0;
    if (!utf8 || 2 * units + 2 > 2 * kConvUnitsMax) {
        KLOG_INFO("err,ansilen=%d,need len=%d,currlen=%d", units, 2 * units + 2, 2 * kConvUnitsMax);
        KLOG_INFO("fail");
        return -1;
    }
    const auto needed = static_cast<int>(utf8->size()) + 1;
    if (destination == nullptr || destinationSize < needed + 1) {
        KLOG_INFO("dest too small,need=%d,size=%d", needed + 1, destinationSize);
        return -3;
    }
    std::memcpy(destination, utf8->c_str(), static_cast<size_t>(needed));
    return 0;
}

void vUtf82Ansi(char* destination, const char* source, int length, int destinationSize) {
    if (destination == nullptr || destinationSize <= 0) {
        return;
    }
    destination[0] = '\0';
    if (source == nullptr || length <= 0) {
        return;
    }
    const auto sourceBytes = static_cast<size_t>(length);
    const void* nul = std::memchr(source, '\0', sourceBytes);
    const size_t textBytes =
        nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - source) : sourceBytes;
    const std::u32string codePoints = strDecodeUtf8(std::string_view(source, textBytes));

    const std::string charset = strLocalCharset();
    const bool toUtf8 = fgIsUtf8Charset(charset);
    const CCharsetConverter converter(charset.c_str(), "UTF-8");

    const auto capacity = static_cast<size_t>(destinationSize - 1);
    size_t written = 0;
    int units = 0;
    for (const char32_t cp : codePoints) {
        units += cp >= 0x10000 ? 2 : 1;
        if (units > kConvUnitsMax) {
            break;
        }
        std::string utf8;
        vAppendUtf8(utf8, cp);
        std::string local;
        if (toUtf8) {
            local = std::move(utf8);
        } else if (std::optional<std::string> converted = converter.strConvert(utf8)) {
            local = std::move(*converted);
        } else {
            local.assign(1, '?');
        }
        if (written + local.size() > capacity) {
            break;
        }
        std::memcpy(destination + written, local.data(), local.size());
        written += local.size();
    }
    destination[written] = '\0';
}

std::string strLocalName(std::span<const std::uint8_t> utf8, int destinationBytes) {
    std::vector<char> local(static_cast<std::size_t>(destinationBytes) + 1, '\0');
    vUtf82Ansi(local.data(), reinterpret_cast<const char*>(utf8.data()),
               static_cast<int>(utf8.size()), static_cast<int>(local.size()));
    return local.data();
}
