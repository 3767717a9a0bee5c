#include "app/local_ip.h"

#include "platform/interfaces.h"
#include "platform/socket.h"

int iGetLocalIpTab(std::uint32_t* addresses, std::uint32_t* masks) {
    if (addresses == nullptr) {
        return -1;
    }
    const std::optional<std::vector<CIpv4Interface>> interfaces = sListIpv4Interfaces();
    if (!interfaces) {
        return -2;
    }
    int count = 0;
    for (const CIpv4Interface& entry : *interfaces) {
        if (count >= kLocalIpMax) {
            break;
        }
        if (entry.m_uiAddr == iIpv4Net(127, 0, 0, 1)) {
            continue;
        }
        addresses[count] = entry.m_uiAddr;
        if (masks != nullptr) {
            masks[count] = entry.m_uiMask;
        }
        ++count;
    }
    return count;
}
