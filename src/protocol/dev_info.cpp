#include "protocol/dev_info.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "net/socket_layer.h"
#include "protocol/cmd_header.h"

namespace {

// Discovery reply layout.
constexpr std::size_t kOffEthIp = 16;
constexpr std::size_t kOffEthMask = 32;
constexpr std::size_t kOffEthGateway = 48;
constexpr std::size_t kOffEthDns = 64;
constexpr std::size_t kOffEthDhcp = 80;
constexpr std::size_t kOffWifiBlock = 84;  // IP, mask, gateway, DNS (16 each), DHCP byte
constexpr std::size_t kOffWifiDhcp = kOffWifiBlock + 64;
constexpr std::size_t kOffEthMac = 152;
constexpr std::size_t kOffWifiMac = 158;
constexpr std::size_t kOffUid = 164;
constexpr std::size_t kOffVersion = 196;
constexpr std::size_t kOffSdFigure1 = 228;
constexpr std::size_t kOffSdFigure2 = 232;
constexpr std::size_t kOffDevFlags = 236;
constexpr std::size_t kOffSender = kDiscoveryReplyBytes;
constexpr std::size_t kAddrTextBytes = 16;
constexpr std::size_t kLongTextBytes = 32;

// A zero-padded text field: up to its first zero byte, or all of it when it is full.
std::string strField(std::span<const std::uint8_t> item, std::size_t offset, std::size_t width) {
    const auto field = item.subspan(offset, width);
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    return std::string(field.begin(), end);
}

std::uint32_t uiParseAddr(const std::string& text) {
    std::uint32_t addrNet = 0;
    return fgParseIp(text, addrNet) ? addrNet : kIpAddrNone;
}

}  // namespace

std::string strEthMacText(std::span<const std::uint8_t, 6> mac) {
    char text[48] = {};
    std::snprintf(text, sizeof text, "%hhX  :%hhX : %hhX : %hhX : %hhX : %hhX", mac[0], mac[1],
                  mac[2], mac[3], mac[4], mac[5]);
    return text;
}

std::string strWifiMacText(std::span<const std::uint8_t, 6> mac) {
    char text[48] = {};
    std::snprintf(text, sizeof text, "%hhX : %hhX : %hhX : %hhX : %hhX : %hhX", mac[0], mac[1],
                  mac[2], mac[3], mac[4], mac[5]);
    return text;
}

std::optional<CDevInfo> vBuildDevInfo(std::span<const std::uint8_t> item) {
    if (item.size() != kDiscoveryItemBytes) {
        return std::nullopt;
    }
    CDevInfo devInfo;
    // The sender address is kept exactly as received (network byte order).
    std::memcpy(&devInfo.m_uiIpAddr, item.data() + kOffSender, sizeof devInfo.m_uiIpAddr);
    devInfo.m_strIp = strIpText(devInfo.m_uiIpAddr);

    devInfo.m_strEthIp = strField(item, kOffEthIp, kAddrTextBytes);
    devInfo.m_strEthMask = strField(item, kOffEthMask, kAddrTextBytes);
    devInfo.m_strEthGateway = strField(item, kOffEthGateway, kAddrTextBytes);
    devInfo.m_strEthDns = strField(item, kOffEthDns, kAddrTextBytes);
    devInfo.m_uiEthDhcp = uiReadLe32(item, kOffEthDhcp);

    devInfo.m_strWifiIp = strField(item, kOffWifiBlock, kAddrTextBytes);
    devInfo.m_uiWifiIpAddr = uiParseAddr(devInfo.m_strWifiIp);
    devInfo.m_strWifiMask = strField(item, kOffWifiBlock + 16, kAddrTextBytes);
    devInfo.m_strWifiGateway = strField(item, kOffWifiBlock + 32, kAddrTextBytes);
    devInfo.m_strWifiDns = strField(item, kOffWifiBlock + 48, kAddrTextBytes);
    devInfo.m_iWifiDhcp = static_cast<std::int8_t>(item[kOffWifiDhcp]);

    devInfo.m_iUseEth = devInfo.m_uiWifiIpAddr == devInfo.m_uiIpAddr ? 0 : 1;

    devInfo.m_strEthMac = strEthMacText(item.subspan<kOffEthMac, 6>());
    devInfo.m_strWifiMac = strWifiMacText(item.subspan<kOffWifiMac, 6>());
    devInfo.m_strUid = strField(item, kOffUid, kLongTextBytes);
    devInfo.m_strVersion = strField(item, kOffVersion, kLongTextBytes);

    devInfo.m_uiSdFigure1 = uiReadLe32(item, kOffSdFigure1);
    devInfo.m_uiSdFigure2 = uiReadLe32(item, kOffSdFigure2);
    devInfo.m_uiDevFlags = uiReadLe32(item, kOffDevFlags);
    return devInfo;
}

std::optional<std::array<std::uint8_t, kDiscoveryItemBytes>> sMakeDiscoveryItem(
    std::span<const std::uint8_t> reply, std::uint32_t senderNet) {
    if (reply.size() != kDiscoveryReplyBytes) {
        return std::nullopt;
    }
    std::array<std::uint8_t, kDiscoveryItemBytes> item{};
    std::copy(reply.begin(), reply.end(), item.begin());
    std::memcpy(item.data() + kOffSender, &senderNet, sizeof senderNet);
    return item;
}

std::optional<std::array<std::uint8_t, kDevAbilityBytes>> sParseDevAbility(
    std::span<const std::uint8_t> datagram) {
    const auto header = sReadCmdHeader(datagram);
    if (!header || header->m_usPayloadLen < kDevAbilityBytes ||
        datagram.size() < kCmdOffPayload + kDevAbilityBytes) {
        return std::nullopt;
    }
    std::array<std::uint8_t, kDevAbilityBytes> ability{};
    const auto payload = datagram.subspan(kCmdOffPayload, kDevAbilityBytes);
    std::copy(payload.begin(), payload.end(), ability.begin());
    return ability;
}

void vSetDevAbility(CDevInfo& devInfo, std::span<const std::uint8_t> payload) {
    devInfo.m_abyAbility.fill(0);
    const auto stored = payload.first(std::min(payload.size(), kDevAbilityBytes));
    std::copy(stored.begin(), stored.end(), devInfo.m_abyAbility.begin());
}

bool fgAbilityFullView(const std::array<std::uint8_t, kDevAbilityBytes>& ability) {
    return (ability[10] & 0x02) != 0;
}

bool fgAbilityGateway(const std::array<std::uint8_t, kDevAbilityBytes>& ability) {
    return (uiReadLe32(ability, 4) & 0x200000U) != 0;
}

int iDevTypeIndex(std::uint32_t devFlags) {
    return static_cast<std::int8_t>(devFlags & 0xFFU);
}

bool fgDevFullView(std::uint32_t devFlags) {
    return (devFlags & (1U << 29)) != 0;
}

bool fgDevIsCamera(std::uint32_t devFlags) {
    return (devFlags & (1U << 31)) != 0;
}

const std::string& strShownMac(const CDevInfo& devInfo) {
    return devInfo.m_iUseEth == 1 ? devInfo.m_strEthMac : devInfo.m_strWifiMac;
}
