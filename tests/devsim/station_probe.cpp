#include "station_probe.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>

CNetnsScope::CNetnsScope(const CNetns& ns) {
    m_iHomeFd = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const std::string path = "/var/run/netns/" + ns.name();
    const int target = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    m_fgEntered = m_iHomeFd >= 0 && target >= 0 && ::setns(target, CLONE_NEWNET) == 0;
    if (target >= 0) {
        ::close(target);
    }
}

CNetnsScope::~CNetnsScope() {
    if (m_fgEntered) {
        ::setns(m_iHomeFd, CLONE_NEWNET);
    }
    if (m_iHomeFd >= 0) {
        ::close(m_iHomeFd);
    }
}

std::uint32_t iAddr(const std::string& text) {
    std::uint32_t address = 0;
    fgParseIp(text, address);
    return address;
}

CEndpoint sDevice(const std::string& text, std::uint16_t port) {
    return CEndpoint{iAddr(text), port};
}

CStationProbe::CStationProbe(const std::string& address, const std::string& broadcast)
    : m_command(CSocket::Udp()), m_search(CSocket::Udp()), m_uiBroadcast(iAddr(broadcast)) {
    if (iBind(m_command, sDevice(address, 24216)) != 0 ||
        iBind(m_search, sDevice(address, 24220)) != 0 || iSetBroadcast(m_search, true) != 0 ||
        iSetBroadcast(m_command, true) != 0) {
        m_command.vClose();
        m_search.vClose();
        return;
    }
    // A thousand discovery replies arrive at once.
    iRaiseReceiveBuffer(m_search, 8 << 20);
    iRaiseReceiveBuffer(m_command, 8 << 20);
}

void CStationProbe::vSearch() const {
    CBytes search(16, 0);
    search[0] = 0xA8;
    search[1] = 0x01;
    iSendTo(m_search, search, CEndpoint{m_uiBroadcast, 24218});
}

void CStationProbe::vSend(std::span<const std::uint8_t> data, const CEndpoint& target) const {
    iSendTo(m_command, data, target);
}

std::vector<CReceived> CStationProbe::vecCollect(std::size_t expected, int quietMs,
                                                 bool onSearch) const {
    const CSocket& socket = onSearch ? m_search : m_command;
    std::vector<CReceived> received;
    while (received.size() < expected) {
        int events = 0;
        if (iWaitOne(socket, true, false, quietMs, events) <= 0) {
            break;
        }
        CReceived datagram;
        datagram.m_data.resize(4096);
        const int got = iRecvFrom(socket, datagram.m_data, datagram.m_from);
        if (got < 0) {
            break;
        }
        datagram.m_data.resize(std::min<std::size_t>(static_cast<std::size_t>(got), 4096));
        received.push_back(std::move(datagram));
    }
    return received;
}

CBytes sRequest(std::uint8_t code, std::size_t total, std::uint8_t param) {
    CBytes request(std::max<std::size_t>(total, 16), 0);
    request[0] = 0xA8;
    request[1] = code;
    request[12] = param;
    return request;
}

void vPutText(CBytes& data, std::size_t offset, const std::string& text) {
    std::copy(text.begin(), text.end(), data.begin() + static_cast<std::ptrdiff_t>(offset));
}

void vPutLe32(CBytes& data, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        data[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint32_t iLe32(const CBytes& data, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(data.at(offset + i)) << (8 * i);
    }
    return value;
}

std::uint16_t iLe16(const CBytes& data, std::size_t offset) {
    return static_cast<std::uint16_t>(data.at(offset) | (data.at(offset + 1) << 8));
}

std::string strField(const CBytes& data, std::size_t offset, std::size_t width) {
    const auto first = data.begin() + static_cast<std::ptrdiff_t>(offset);
    const auto last = std::find(first, first + static_cast<std::ptrdiff_t>(width), 0);
    return std::string(first, last);
}
