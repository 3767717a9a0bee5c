#include "app/local_ip.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <cstring>
#include <memory>

namespace {
struct CIfAddrsFree {
    void operator()(ifaddrs* list) const { freeifaddrs(list); }
};
}  // namespace

int iGetLocalIpTab(std::uint32_t* addresses, std::uint32_t* masks) {
    if (addresses == nullptr) {
        return -1;
    }
    ifaddrs* raw = nullptr;
    if (getifaddrs(&raw) != 0) {
        return -2;
    }
    const std::unique_ptr<ifaddrs, CIfAddrsFree> list(raw);
    int count = 0;
    for (const ifaddrs* it = list.get(); it != nullptr && count < kLocalIpMax; it = it->ifa_next) {
        if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        sockaddr_in address{};
        std::memcpy(&address, it->ifa_addr, sizeof address);
        if (address.sin_addr.s_addr == htonl(INADDR_LOOPBACK)) {
            continue;
        }
        addresses[count] = address.sin_addr.s_addr;
        if (masks != nullptr) {
            sockaddr_in mask{};
            if (it->ifa_netmask != nullptr) {
                std::memcpy(&mask, it->ifa_netmask, sizeof mask);
            }
            masks[count] = mask.sin_addr.s_addr;
        }
        ++count;
    }
    return count;
}
