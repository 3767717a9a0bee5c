#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// One IPv4 address of an interface of this host, with its mask (network byte order).
struct CIpv4Interface {
    std::uint32_t m_uiAddr = 0;
    std::uint32_t m_uiMask = 0;
    bool operator==(const CIpv4Interface&) const = default;
};

// Every IPv4 address of the host's interfaces in the order the system lists them,
// loopback included (getifaddrs on POSIX; GetAdaptersAddresses on Windows, adapters
// that are up only). nullopt when the system table cannot be read.
std::optional<std::vector<CIpv4Interface>> sListIpv4Interfaces();
