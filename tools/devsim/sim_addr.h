#pragma once

// IPv4 address arithmetic for the simulator. Addresses named ...Net are in network
// byte order (as sockets and the socket layer keep them); the rest in host order.

#include <cstdint>

#include "net/socket_layer.h"

namespace devsim {

constexpr std::uint32_t iToNet(std::uint32_t host) {
    return iNetFromHost(host);
}

constexpr std::uint32_t iToHost(std::uint32_t net) {
    return iToNet(net);
}

// Mask of a prefix length 0 to 32, host order.
constexpr std::uint32_t iMaskHost(int prefix) {
    return prefix <= 0 ? 0U : (prefix >= 32 ? 0xFFFFFFFFU : 0xFFFFFFFFU << (32 - prefix));
}

constexpr std::uint32_t iMaskNet(int prefix) {
    return iToNet(iMaskHost(prefix));
}

constexpr std::uint32_t iBroadcastNet(std::uint32_t addrNet, int prefix) {
    return addrNet | ~iMaskNet(prefix);
}

constexpr bool fgSameSubnet(std::uint32_t aNet, std::uint32_t bNet, int prefix) {
    return (aNet & iMaskNet(prefix)) == (bNet & iMaskNet(prefix));
}

// True inside 127.0.0.0/8, the only addresses the simulator binds unless told otherwise.
constexpr bool fgIsLoopback(std::uint32_t addrNet) {
    return (iToHost(addrNet) >> 24) == 127;
}

// True for an address a single device may take on a network of `prefix` bits: not 0,
// not multicast or reserved (224 and above), not the network or broadcast address.
constexpr bool fgIsHostAddress(std::uint32_t addrNet, int prefix) {
    const std::uint32_t host = iToHost(addrNet);
    if (host == 0 || (host >> 28) >= 0xE) {
        return false;
    }
    if (prefix >= 31) {
        return true;
    }
    const std::uint32_t hostPart = host & ~iMaskHost(prefix);
    return hostPart != 0 && hostPart != ~iMaskHost(prefix);
}

}  // namespace devsim
