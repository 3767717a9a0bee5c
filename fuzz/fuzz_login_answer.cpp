// Login replies list Wi-Fi networks whose count the device states: the line check's
// reader (which its login check runs on every answer) must count only the entries the
// datagram holds.
#include <cstddef>
#include <cstdint>
#include <span>

#include "check/login_replies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 3072) {
        return 0;
    }
    const std::span<const std::uint8_t> datagram(data, size);
    const auto answer = sParseLoginAnswer(datagram);
    if (answer) {
        const std::size_t held = size > 20 ? (size - 20) / 36 : 0;
        if (answer->m_iWifiNetworks < 0 ||
            static_cast<std::size_t>(answer->m_iWifiNetworks) > held) {
            __builtin_trap();
        }
    }
    return 0;
}
