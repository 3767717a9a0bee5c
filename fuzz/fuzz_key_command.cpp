// The operator's key command line: whatever its text, the parser reads at most its
// first 127 characters and gives at most four bytes per blank-separated piece.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "protocol/key_command.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const auto command = sParseKeyCommand(line);
    if (command.has_value() == line.empty()) {
        __builtin_trap();
    }
    if (command && command->m_params.size() > 4 * (kKeyLineMaxChars / 2)) {
        __builtin_trap();
    }
    return 0;
}
