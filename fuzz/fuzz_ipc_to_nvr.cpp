// Recorder announcements arrive from any host on the multicast group. Whatever their
// bytes, the handler reads only the datagram and answers at most once, with exactly
// the 16-byte search request to the announcing host, and only for a login request
// of at least 24 bytes.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "protocol/station.h"

namespace {

constexpr std::uint32_t kAnnouncerNet = iIpv4Net(10, 0, 9, 9);

void vCheck(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

class CCountingSender : public IUdpSender {
  public:
    int iSendUdpToDev(std::uint32_t addrNet, std::span<const std::uint8_t> data) override {
        static constexpr std::array<std::uint8_t, 16> kSearch = {0xA8, 0x01};
        vCheck(addrNet == kAnnouncerNet);
        vCheck(std::equal(data.begin(), data.end(), kSearch.begin(), kSearch.end()));
        ++m_iSent;
        return 0;
    }
    bool fgSendUdpByIpStr(const std::string& ip, std::uint16_t port,
                          std::span<const std::uint8_t> data, bool broadcast) override {
        (void)ip, (void)port, (void)data, (void)broadcast;
        __builtin_trap();
    }
    void vSearchDev() override { __builtin_trap(); }

    int m_iSent = 0;
};

bool fgIsLoginRequest(std::span<const std::uint8_t> datagram) {
    if (datagram.size() < 24 || datagram[0] != 0x68) {
        return false;
    }
    const auto le32 = [&](std::size_t offset) {
        return static_cast<std::uint32_t>(datagram[offset]) |
               static_cast<std::uint32_t>(datagram[offset + 1]) << 8U |
               static_cast<std::uint32_t>(datagram[offset + 2]) << 16U |
               static_cast<std::uint32_t>(datagram[offset + 3]) << 24U;
    };
    const std::uint32_t type = le32(4);
    return (type == 7 || type == 10 || type == 93 || type == 94) && le32(12) >= 12;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 3072) {
        return 0;
    }
    const std::span<const std::uint8_t> datagram(data, size);
    CCountingSender sender;
    IStationView view;
    CStation station(sender, view);
    station.discovery().vParseIpcToNvrInfo(datagram, kAnnouncerNet);
    vCheck(sender.m_iSent == (fgIsLoginRequest(datagram) ? 1 : 0));
    vCheck(station.registry().iRowCount() == 0);
    return 0;
}
