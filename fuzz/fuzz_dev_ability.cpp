// Capability replies (type 192) carry a payload-length field that may claim more than
// the datagram holds: parsing and storing must read only the bytes received.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "protocol/cmd_header.h"
#include "protocol/dev_info.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 3072) {
        return 0;
    }
    const std::span<const std::uint8_t> datagram(data, size);
    CDevInfo devInfo;
    if (const auto ability = sParseDevAbility(datagram)) {
        if (size < kCmdHeaderBytes + kDevAbilityBytes ||
            usReadLe16(datagram, kCmdOffPayloadLen) < kDevAbilityBytes) {
            __builtin_trap();
        }
        vSetDevAbility(devInfo, *ability);
        if (devInfo.m_abyAbility != *ability) {
            __builtin_trap();
        }
    }
    // Storing whatever follows the header, however short or long, stays bounded.
    vSetDevAbility(devInfo, datagram.subspan(std::min(size, kCmdHeaderBytes)));
    (void)fgAbilityFullView(devInfo.m_abyAbility);
    (void)fgAbilityGateway(devInfo.m_abyAbility);
    return 0;
}
