// Discovery replies come from any host on the subnet: whatever their bytes and length,
// building a record must stay inside them and give texts no wider than their fields.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "protocol/dev_info.h"

namespace {

void vCheckText(const std::string& text, std::size_t width) {
    if (text.size() > width || text.find('\0') != std::string::npos) {
        __builtin_trap();
    }
}

void vCheckRecord(const CDevInfo& devInfo) {
    for (const std::string* text :
         {&devInfo.m_strEthIp, &devInfo.m_strEthMask, &devInfo.m_strEthGateway,
          &devInfo.m_strEthDns, &devInfo.m_strWifiIp, &devInfo.m_strWifiMask,
          &devInfo.m_strWifiGateway, &devInfo.m_strWifiDns, &devInfo.m_strIp}) {
        vCheckText(*text, 16);
    }
    vCheckText(devInfo.m_strUid, 32);
    vCheckText(devInfo.m_strVersion, 32);
    vCheckText(devInfo.m_strEthMac, 32);
    vCheckText(devInfo.m_strWifiMac, 32);
    if (devInfo.m_iUseEth != 0 && devInfo.m_iUseEth != 1) {
        __builtin_trap();
    }
    if (devInfo.m_iWifiDhcp < -128 || devInfo.m_iWifiDhcp > 127) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 3072) {
        return 0;
    }
    const std::span<const std::uint8_t> input(data, size);
    if (const auto direct = vBuildDevInfo(input)) {
        vCheckRecord(*direct);
    }
    // Any input of reply size or more also goes through the receive path: its first
    // 240 bytes as the reply, the next four (when present) as the sender.
    if (size < kDiscoveryReplyBytes) {
        (void)sMakeDiscoveryItem(input, 0);
        return 0;
    }
    std::uint32_t senderNet = 0;
    std::memcpy(&senderNet, data + kDiscoveryReplyBytes,
                std::min<std::size_t>(sizeof senderNet, size - kDiscoveryReplyBytes));
    const auto item = sMakeDiscoveryItem(input.first(kDiscoveryReplyBytes), senderNet);
    if (!item) {
        __builtin_trap();
    }
    const auto devInfo = vBuildDevInfo(*item);
    if (!devInfo) {
        __builtin_trap();
    }
    vCheckRecord(*devInfo);
    return 0;
}
