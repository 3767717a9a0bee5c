#include "net/lan_interfaces.h"

#include <charconv>

std::optional<CInterfaceAddr> sParseBindAddr(const std::string& text) {
    const std::size_t slash = text.find('/');
    if (slash == std::string::npos) {
        return std::nullopt;
    }
    CInterfaceAddr parsed;
    if (!fgParseIp(text.substr(0, slash), parsed.m_uiAddr)) {
        return std::nullopt;
    }
    const char* first = text.data() + slash + 1;
    const char* last = text.data() + text.size();
    unsigned prefixBits = 0;
    const auto [end, error] = std::from_chars(first, last, prefixBits);
    if (error != std::errc{} || end != last || prefixBits > 32) {
        return std::nullopt;
    }
    // A shift by 32 is undefined, so prefix 0 is spelled out.
    const std::uint32_t maskHost = prefixBits == 0 ? 0U : ~std::uint32_t{0} << (32U - prefixBits);
    parsed.m_uiMask = iNetFromHost(maskHost);
    return parsed;
}
