#include "platform/interfaces.h"

#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h.
#include <iphlpapi.h>

#include <algorithm>
#include <cstring>

namespace {
std::uint32_t iMaskOfPrefix(unsigned prefixBits) {
    const std::uint32_t host =
        prefixBits == 0 ? 0 : ~std::uint32_t{0} << (32 - std::min(prefixBits, 32U));
    return htonl(host);
}
}  // namespace

std::optional<std::vector<CIpv4Interface>> sListIpv4Interfaces() {
    constexpr ULONG kFlags =
        GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG bytes = 16 * 1024;
    std::vector<unsigned char> buffer;
    ULONG rc = ERROR_BUFFER_OVERFLOW;
    // The table may grow between the call that sizes it and the one that fills it.
    for (int attempt = 0; attempt < 4 && rc == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.assign(bytes, 0);
        rc = GetAdaptersAddresses(AF_INET, kFlags, nullptr,
                                  reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &bytes);
    }
    if (rc == ERROR_NO_DATA) {
        return std::vector<CIpv4Interface>{};
    }
    if (rc != NO_ERROR) {
        return std::nullopt;
    }
    std::vector<CIpv4Interface> found;
    for (const auto* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data());
         adapter != nullptr; adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp) {
            continue;
        }
        for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter->FirstUnicastAddress;
             unicast != nullptr; unicast = unicast->Next) {
            const SOCKADDR* address = unicast->Address.lpSockaddr;
            if (address == nullptr || address->sa_family != AF_INET) {
                continue;
            }
            sockaddr_in ipv4{};
            std::memcpy(&ipv4, address, sizeof ipv4);
            found.push_back(
                CIpv4Interface{ipv4.sin_addr.s_addr, iMaskOfPrefix(unicast->OnLinkPrefixLength)});
        }
    }
    return found;
}
