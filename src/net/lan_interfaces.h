#pragma once

// What the LAN transport offers to the layers above it and what it asks of them.
// The protocol layer, the CLI, the GUI and the tests talk to the transport only
// through these, so each side can be tested with a fake of the other.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "net/socket_layer.h"

// Fixed ports of the protocol.
inline constexpr std::uint16_t kPortCommand = 24216;    // our command socket; device command port
inline constexpr std::uint16_t kPortSearch = 24218;     // device search port
inline constexpr std::uint16_t kPortSearchSrc = 24220;  // our search socket (broadcast)
inline constexpr std::uint16_t kPortAnnounce = 34226;   // our announcement socket (multicast)
inline constexpr std::uint16_t kPortUpgrade = 24214;    // our TCP upgrade listener
inline constexpr std::uint16_t kPortStream = 20554;     // device TCP stream port

// Multicast group the devices announce themselves to (port kPortAnnounce).
inline constexpr std::uint32_t kAnnounceGroupNet = iIpv4Net(233, 233, 233, 233);

// One local interface: address and subnet mask, network byte order.
struct CInterfaceAddr {
    std::uint32_t m_uiAddr = 0;
    std::uint32_t m_uiMask = 0;
    bool operator==(const CInterfaceAddr&) const = default;
};

// Parses "ADDR/PREFIX" (e.g. "127.0.0.1/8"): a dotted-quad address, a slash and a
// decimal prefix length 0..32, nothing else. nullopt when malformed.
std::optional<CInterfaceAddr> sParseBindAddr(const std::string& text);

// Directed broadcast address of the subnet, (address AND mask) OR NOT mask, network
// byte order; 255.255.255.255 for mask 0.
constexpr std::uint32_t iSubnetBroadcast(std::uint32_t addrNet, std::uint32_t maskNet) {
    return (addrNet & maskNet) | ~maskNet;
}

// The sending side of the transport. Thread-safe: called from the UI thread and
// from the receive thread at the same time.
class IUdpSender {
  public:
    virtual ~IUdpSender() = default;
    // Sends to addrNet:24216 from the local socket on the device's subnet. 0 or -2.
    virtual int iSendUdpToDev(std::uint32_t addrNet, std::span<const std::uint8_t> data) = 0;
    // Sends to ip:port (or, with broadcast, to the subnet broadcast address of the
    // local interface on ip's subnet, same port). True when the datagram left.
    virtual bool fgSendUdpByIpStr(const std::string& ip, std::uint16_t port,
                                  std::span<const std::uint8_t> data, bool broadcast) = 0;
    // Broadcasts the search datagram on every interface.
    virtual void vSearchDev() = 0;
};

// The receiving side, implemented by the protocol layer. Called on the transport's
// receive thread, one datagram at a time; data is valid only during the call.
class ILanReceiver {
  public:
    virtual ~ILanReceiver() = default;
    // A datagram on a command or search socket (also of length 0).
    virtual void vOnDatagram(std::span<const std::uint8_t> data, const CEndpoint& from) = 0;
    // A datagram on an announcement (multicast) socket.
    virtual void vOnAnnouncement(std::span<const std::uint8_t> data, const CEndpoint& from) = 0;
};
