#include "platform/text_codec.h"

std::optional<std::string> strConvertCharset(std::string_view text, const char* toCharset,
                                             const char* fromCharset) {
    const CCharsetConverter converter(toCharset, fromCharset);
    return converter.strConvert(text);
}
