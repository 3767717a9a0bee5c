#include "platform/interfaces.h"

#include <ifaddrs.h>
#include <netinet/in.h>

#include <cstring>
#include <memory>

namespace {
struct CIfAddrsFree {
    void operator()(ifaddrs* list) const { freeifaddrs(list); }
};

std::uint32_t iAddrOf(const sockaddr* address) {
    sockaddr_in ipv4{};
    if (address != nullptr) {
        std::memcpy(&ipv4, address, sizeof ipv4);
    }
    return ipv4.sin_addr.s_addr;
}
}  // namespace

std::optional<std::vector<CIpv4Interface>> sListIpv4Interfaces() {
    ifaddrs* raw = nullptr;
    if (getifaddrs(&raw) != 0) {
        return std::nullopt;
    }
    const std::unique_ptr<ifaddrs, CIfAddrsFree> list(raw);
    std::vector<CIpv4Interface> found;
    for (const ifaddrs* it = list.get(); it != nullptr; it = it->ifa_next) {
        if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        found.push_back(CIpv4Interface{iAddrOf(it->ifa_addr), iAddrOf(it->ifa_netmask)});
    }
    return found;
}
