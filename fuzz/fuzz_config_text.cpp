// The configuration text a device sends and the item lines typed from it: the search
// for an item's number reads no further than the text, and an item line gives a key
// and a value within their fields or nothing.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "protocol/config_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)sFindConfigNumber(text, kFlagZeroKey);
    (void)fgVolumeTextValid(text);
    if (vecSplitConfigLine(text).size() > kConfigLineMaxPieces) {
        __builtin_trap();
    }
    if (const auto item = sParseConfigItem(text)) {
        if (item->m_strKey.empty() || item->m_strValue.empty() ||
            item->m_strKey.size() > kConfigFieldMaxChars ||
            item->m_strValue.size() > kConfigFieldMaxChars) {
            __builtin_trap();
        }
    }
    return 0;
}
