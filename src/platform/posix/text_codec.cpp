#include "platform/text_codec.h"

#include <iconv.h>
#include <langinfo.h>

struct CCharsetConverter::CState {
    iconv_t m_cd;
};

namespace {
const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);
}  // namespace

std::string strLocalCharset() {
    return nl_langinfo(CODESET);
}

CCharsetConverter::CCharsetConverter(const char* toCharset, const char* fromCharset)
    : m_state(std::make_unique<CState>(CState{iconv_open(toCharset, fromCharset)})) {}

CCharsetConverter::~CCharsetConverter() {
    if (fgValid()) {
        iconv_close(m_state->m_cd);
    }
}

bool CCharsetConverter::fgValid() const {
    return m_state->m_cd != kNoConverter;
}

std::optional<std::string> CCharsetConverter::strConvert(std::string_view text) const {
    if (!fgValid()) {
        return std::nullopt;
    }
    std::string out(text.size() * 4 + 16, '\0');
    // iconv takes a non-const input pointer but never writes through it.
    char* inPtr = const_cast<char*>(text.data());  // NOLINT(cppcoreguidelines-pro-type-const-cast)
    size_t inLeft = text.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    iconv(m_state->m_cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(m_state->m_cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
        return std::nullopt;
    }
    out.resize(out.size() - outLeft);
    return out;
}
