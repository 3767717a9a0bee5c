// Login replies list Wi-Fi networks whose count the device states: the line check's
// reader must count only the entries the datagram holds, and the tap that keeps the
// answers by device must hand back exactly what it read.
#include <chrono>
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
    // The same datagram through the tap, as the receive thread hands it over.
    CLoginReplies replies;
    const CEndpoint from{0x0200007FU, 24216};
    replies.vOnDatagram(datagram, from);
    const auto kept = replies.sWait(from.m_uiAddr, std::chrono::steady_clock::now());
    if (kept.has_value() != answer.has_value() ||
        (kept && (kept->m_fgAccepted != answer->m_fgAccepted ||
                  kept->m_iWifiNetworks != answer->m_iWifiNetworks))) {
        __builtin_trap();
    }
    replies.vForget(from.m_uiAddr);
    if (replies.sWait(from.m_uiAddr, std::chrono::steady_clock::now())) {
        __builtin_trap();
    }
    return 0;
}
