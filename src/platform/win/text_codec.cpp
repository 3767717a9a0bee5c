#include "platform/text_codec.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <vector>

struct CCharsetConverter::CState {
    UINT m_toPage = 0;
    UINT m_fromPage = 0;
};

namespace {

constexpr UINT kUtf8Page = CP_UTF8;

std::string strUpper(const char* name) {
    std::string upper = name == nullptr ? "" : name;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper;
}

// The code page of a character set named as iconv names it; 0 when unknown.
UINT iCodePage(const char* name) {
    const std::string upper = strUpper(name);
    struct CNamedPage {
        const char* m_pszName;
        UINT m_page;
    };
    static constexpr CNamedPage kCodePages[] = {
        {"UTF-8", kUtf8Page}, {"UTF8", kUtf8Page}, {"GBK", 936},        {"GB2312", 936},
        {"EUC-CN", 936},      {"GB18030", 54936},  {"BIG5", 950},       {"ISO-8859-1", 28591},
        {"LATIN1", 28591},    {"ASCII", 20127},    {"US-ASCII", 20127}, {"ANSI_X3.4-1968", 20127},
    };
    for (const CNamedPage& page : kCodePages) {
        if (upper == page.m_pszName) {
            return page.m_page;
        }
    }
    for (const char* prefix : {"CP", "WINDOWS-"}) {
        const std::string_view text(upper);
        if (text.starts_with(prefix)) {
            const std::string_view digits = text.substr(std::string_view(prefix).size());
            UINT page = 0;
            const auto [end, error] =
                std::from_chars(digits.data(), digits.data() + digits.size(), page);
            if (error == std::errc() && end == digits.data() + digits.size() &&
                IsValidCodePage(page) != 0) {
                return page;
            }
        }
    }
    return 0;
}

std::optional<std::wstring> strWide(std::string_view text, UINT page) {
    if (text.empty()) {
        return std::wstring();
    }
    const int length = static_cast<int>(text.size());
    const int units =
        MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
    if (units <= 0) {
        return std::nullopt;
    }
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    if (MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, text.data(), length, wide.data(), units) !=
        units) {
        return std::nullopt;
    }
    return wide;
}

std::optional<std::string> strNarrow(const std::wstring& wide, UINT page) {
    if (wide.empty()) {
        return std::string();
    }
    const int length = static_cast<int>(wide.size());
    // UTF-8 takes no replacement flag; the other pages report a character without an
    // equivalent through usedDefault instead of a best-fit look-alike.
    const bool utf8 = page == kUtf8Page;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* const usedDefaultPtr = utf8 ? nullptr : &usedDefault;
    const int bytes =
        WideCharToMultiByte(page, flags, wide.data(), length, nullptr, 0, nullptr, usedDefaultPtr);
    if (bytes <= 0 || usedDefault != FALSE) {
        return std::nullopt;
    }
    std::string narrow(static_cast<std::size_t>(bytes), '\0');
    if (WideCharToMultiByte(page, flags, wide.data(), length, narrow.data(), bytes, nullptr,
                            usedDefaultPtr) != bytes ||
        usedDefault != FALSE) {
        return std::nullopt;
    }
    return narrow;
}

}  // namespace

std::string strLocalCharset() {
    const UINT page = GetACP();
    return page == kUtf8Page ? std::string("UTF-8") : "CP" + std::to_string(page);
}

CCharsetConverter::CCharsetConverter(const char* toCharset, const char* fromCharset)
    : m_state(std::make_unique<CState>(CState{iCodePage(toCharset), iCodePage(fromCharset)})) {}

CCharsetConverter::~CCharsetConverter() = default;

bool CCharsetConverter::fgValid() const {
    return m_state->m_toPage != 0 && m_state->m_fromPage != 0;
}

std::optional<std::string> CCharsetConverter::strConvert(std::string_view text) const {
    if (!fgValid()) {
        return std::nullopt;
    }
    const std::optional<std::wstring> wide = strWide(text, m_state->m_fromPage);
    if (!wide) {
        return std::nullopt;
    }
    return strNarrow(*wide, m_state->m_toPage);
}
