#pragma once

// The device record: everything known about one device, built from its discovery
// reply (reply type 101, exactly 240 bytes) and, later, its capability block (reply
// type 192). The parsers here are pure: they read only the span they are given.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

inline constexpr std::size_t kDiscoveryReplyBytes = 240;
// A queued discovery item: the 240 reply bytes, then the sender's IPv4 address as
// received (4 bytes, network byte order).
inline constexpr std::size_t kDiscoveryItemBytes = kDiscoveryReplyBytes + 4;
inline constexpr std::size_t kDevAbilityBytes = 80;
// Value of an address text that does not hold a dotted IPv4 address.
inline constexpr std::uint32_t kIpAddrNone = 0xFFFFFFFF;

// Login state of a record.
inline constexpr std::int32_t kLoginUnknown = 0;
inline constexpr std::int32_t kLoginAccepted = 1;
inline constexpr std::int32_t kLoginRefused = -1;

// Texts are owned by the record; addresses are in network byte order. Copying the
// record copies everything (pages always work on copies).
struct CDevInfo {
    std::string m_strWifiMask;
    std::string m_strWifiGateway;
    std::int32_t m_iWifiDhcp = 0;  // the reply's signed byte, sign-extended
    std::string m_strWifiDns;
    std::string m_strWifiIp;
    std::uint32_t m_uiWifiIpAddr = kIpAddrNone;  // m_strWifiIp parsed
    std::string m_strEthDns;
    std::uint32_t m_uiEthDhcp = 0;  // non-zero: DHCP on
    std::string m_strEthMac;        // "%hhX  :%hhX : ..." (two blanks after the first byte)
    std::string m_strEthGateway;
    std::string m_strUid;
    std::string m_strIp;  // sender of the discovery reply: every command goes here
    std::string m_strEthIp;
    std::string m_strWifiMac;  // "%hhX : %hhX : ..."
    std::string m_strVersion;
    std::string m_strEthMask;
    std::uint32_t m_uiSdFigure1 = 0;  // megabytes
    std::uint32_t m_uiSdFigure2 = 0;  // megabytes
    std::int32_t m_iLoginState = kLoginUnknown;
    std::uint32_t m_uiDevFlags = 0;  // see the flag helpers below
    std::uint32_t m_uiIpAddr = 0;    // sender address of the discovery reply
    std::int32_t m_iUseEth = 0;      // 1: answered from another address than its Wi-Fi one
    std::array<std::uint8_t, kDevAbilityBytes> m_abyAbility{};  // last capability block
    bool operator==(const CDevInfo&) const = default;
};

// Builds the record from a queued discovery item (exactly kDiscoveryItemBytes);
// nullopt for any other length. Texts are read up to their first zero byte or the
// full field width, never further. Login state is kLoginUnknown and the capability
// block zero.
std::optional<CDevInfo> vBuildDevInfo(std::span<const std::uint8_t> item);

// Forms the queued item from a discovery reply and its sender (network byte order);
// nullopt unless the reply holds exactly kDiscoveryReplyBytes.
std::optional<std::array<std::uint8_t, kDiscoveryItemBytes>> sMakeDiscoveryItem(
    std::span<const std::uint8_t> reply, std::uint32_t senderNet);

// The capability payload of a reply of type 192: the 80 bytes from offset 16, when
// the header's payload-length field says at least 80 AND the datagram really holds
// them; nullopt otherwise.
std::optional<std::array<std::uint8_t, kDevAbilityBytes>> sParseDevAbility(
    std::span<const std::uint8_t> datagram);

// Stores a capability payload in the record: the first 80 bytes of payload; when
// fewer were received the rest of the block is zero.
void vSetDevAbility(CDevInfo& devInfo, std::span<const std::uint8_t> payload);

// Capability bits: byte 10 bit 1 (panoramic), 32-bit word at byte 4 bit 21 (gateway).
bool fgAbilityFullView(const std::array<std::uint8_t, kDevAbilityBytes>& ability);
bool fgAbilityGateway(const std::array<std::uint8_t, kDevAbilityBytes>& ability);

// Device flags word: bits 0-7 the type index (signed; 0..3 name a camera type), bit 29
// panoramic camera, bit 31 camera (clear: gateway).
int iDevTypeIndex(std::uint32_t devFlags);
bool fgDevFullView(std::uint32_t devFlags);
bool fgDevIsCamera(std::uint32_t devFlags);

// The MAC text the device list shows: the wired one when the device answered over its
// wired port (use ethernet = 1), else the Wi-Fi one.
const std::string& strShownMac(const CDevInfo& devInfo);

// MAC texts of six raw bytes, upper-case hex without leading zeros.
std::string strEthMacText(std::span<const std::uint8_t, 6> mac);
std::string strWifiMacText(std::span<const std::uint8_t, 6> mac);
