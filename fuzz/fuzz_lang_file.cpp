// The language file is edited by hand and shipped with translations; any content
// must give some value for any key, without reading past the text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/profile.h"
#include "app/text_conv.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first line names the key to look up; the rest is the file.
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\n');
    const std::string_view key = input.substr(0, split == std::string_view::npos ? 0 : split);
    const std::string_view file =
        split == std::string_view::npos ? input : input.substr(split + 1);
    const std::string value = strProfileValue(file, "LANGUAGE", key, 199);
    if (value.size() > 199) {
        __builtin_trap();
    }
    (void)strToUtf8(value, "GBK");
    return 0;
}
