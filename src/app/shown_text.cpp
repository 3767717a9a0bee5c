#include "app/shown_text.h"

#include <cstdio>

#include "app/text_conv.h"

namespace {

void vAppendEscape(std::string& out, unsigned value) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02x", value);
    out += escaped;
}

}  // namespace

std::string strShownText(std::string_view raw, ELineBreaks breaks) {
    const std::string text = strSanitizeUtf8(raw);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte != 0x7F && byte != 0xC2) {
            out += text[i];
            continue;
        }
        if (byte == 0xC2) {
            // U+0080-U+009F, the C1 controls, are C2 80 to C2 9F in UTF-8.
            const auto next = static_cast<unsigned char>(text[i + 1]);
            if (next >= 0x80 && next <= 0x9F) {
                vAppendEscape(out, next);
                ++i;
            } else {
                out += text[i];
            }
            continue;
        }
        if (breaks == ELineBreaks::kKeep) {
            if (byte == '\n' || byte == '\t') {
                out += text[i];
                continue;
            }
            if (byte == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                continue;
            }
        }
        vAppendEscape(out, byte);
    }
    return out;
}
