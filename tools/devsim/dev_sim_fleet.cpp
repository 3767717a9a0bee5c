#include "devsim/dev_sim_fleet.h"

#include <algorithm>
#include <set>

#include "devsim/sim_addr.h"
#include "devsim/sim_horn.h"
#include "devsim/sim_stream.h"
#include "devsim/sim_upgrade.h"
#include "devsim/udp_service.h"
#include "platform/process.h"

namespace devsim {

namespace {

// Command, search, firmware listener, one firmware connection and the horn receiver.
constexpr int kSocketsPerDevice = 5;
constexpr int kSocketsPerNet = 2;
// Descriptors left for everything else the process opens.
constexpr std::size_t kSpareDescriptors = 256;

int iDefaultPrefix(std::uint32_t addrNet) {
    return fgIsLoopback(addrNet) ? 8 : 24;
}

// Makes sure the process may open `needed` more descriptors than it has spare room
// for; raises the soft limit up to the hard one when not.
int iEnsureDescriptors(std::size_t needed, std::string& error) {
    return fgEnsureHandleLimit(needed + kSpareDescriptors, error) ? 0 : -1;
}

}  // namespace

std::optional<CSimAddress> sParseSimAddress(const std::string& text) {
    const std::size_t slash = text.find('/');
    std::uint32_t addrNet = 0;
    if (!fgParseIp(text.substr(0, slash), addrNet)) {
        return std::nullopt;
    }
    int prefix = iDefaultPrefix(addrNet);
    if (slash != std::string::npos) {
        const std::string digits = text.substr(slash + 1);
        if (digits.empty() || digits.size() > 2 ||
            !std::all_of(digits.begin(), digits.end(),
                         [](char c) { return c >= '0' && c <= '9'; })) {
            return std::nullopt;
        }
        prefix = std::stoi(digits);
        if (prefix < 1 || prefix > 30) {
            return std::nullopt;
        }
    }
    return CSimAddress{addrNet, prefix};
}

std::optional<std::vector<CSimAddress>> sConsecutiveAddresses(const std::string& first,
                                                              std::size_t count,
                                                              std::string& error) {
    const std::optional<CSimAddress> start = sParseSimAddress(first);
    if (!start) {
        error = "not an address: " + first;
        return std::nullopt;
    }
    std::vector<CSimAddress> addresses;
    addresses.reserve(count);
    const std::uint32_t firstHost = iToHost(start->m_uiAddrNet);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t host = static_cast<std::uint64_t>(firstHost) + i;
        const auto addrNet = iToNet(static_cast<std::uint32_t>(host));
        if (host > 0xFFFFFFFFULL || !fgSameSubnet(addrNet, start->m_uiAddrNet, start->m_iPrefix) ||
            !fgIsHostAddress(addrNet, start->m_iPrefix)) {
            error = std::to_string(count) + " devices from " + first + " do not fit its network";
            return std::nullopt;
        }
        addresses.push_back(CSimAddress{addrNet, start->m_iPrefix});
    }
    return addresses;
}

CDevSimFleet::CDevSimFleet(CDevSimConfig config) : m_iCount(config.m_addresses.size()) {
    m_core.m_attached = config.m_addresses;
    m_core.m_fgAllowAnyAddr = config.m_fgAllowAnyAddr;
    m_core.m_iSearchBufferBytes = config.m_iSearchBufferBytes;
    m_core.m_devices.reserve(m_iCount);
    for (std::size_t i = 0; i < m_iCount; ++i) {
        const CSimAddress& address = config.m_addresses[i];
        m_core.m_devices.emplace_back(
            sMakeDefaultState(i, address.m_uiAddrNet, address.m_iPrefix, config.m_strPassword),
            config.m_behaviour, address.m_uiAddrNet);
    }
    m_udp = std::make_unique<CUdpService>(m_core);
    m_stream = std::make_unique<CStreamService>(m_core);
    m_core.m_onStreamOpen = [this](std::size_t index) { m_stream->vOpenLocked(index); };
    m_upgrade = std::make_unique<CUpgradeService>(m_core);
    m_core.m_fnOnUpgradeRequest = [this](std::size_t index, const CEndpoint& from) {
        m_upgrade->vOnUpgradeRequest(index, from);
    };
    m_horn = std::make_unique<CHornService>(m_core);
    m_core.m_fnOnHornOpen = [this](std::size_t index) { m_horn->vOpenLocked(index); };
}

CDevSimFleet::~CDevSimFleet() {
    vStop();
}

int CDevSimFleet::iCheckAddresses(std::string& error) const {
    std::set<std::uint32_t> seen;
    for (const CSimAddress& address : m_core.m_attached) {
        const std::string text = strIpText(address.m_uiAddrNet);
        if (!m_core.m_fgAllowAnyAddr && !fgIsLoopback(address.m_uiAddrNet)) {
            error = "refusing " + text +
                    ": outside 127.0.0.0/8 (allow it only inside a network namespace)";
            return -1;
        }
        if (!fgIsHostAddress(address.m_uiAddrNet, address.m_iPrefix)) {
            error = "not a device address on its network: " + text + "/" +
                    std::to_string(address.m_iPrefix);
            return -1;
        }
        if (!seen.insert(address.m_uiAddrNet).second) {
            error = "address given twice: " + text;
            return -1;
        }
    }
    return 0;
}

int CDevSimFleet::iStart(std::string& error) {
    vStop();
    if (iCheckAddresses(error) != 0) {
        return -1;
    }
    if (iEnsureDescriptors(kSocketsPerDevice * m_iCount + kSocketsPerNet * m_iCount, error) != 0) {
        return -1;
    }
    {
        std::lock_guard lock(m_core.m_mutex);
        for (CSimDevice& device : m_core.m_devices) {
            device.vKeepFactoryState();
        }
    }
    if (m_stream->iStart(error) != 0) {
        return -1;
    }
    if (m_upgrade->iStart(error) != 0) {
        m_stream->vStop();
        return -1;
    }
    if (m_horn->iStart(error) != 0) {
        m_upgrade->vStop();
        m_stream->vStop();
        return -1;
    }
    if (m_udp->iStart(error) != 0) {
        m_horn->vStop();
        m_upgrade->vStop();
        m_stream->vStop();
        return -1;
    }
    return 0;
}

void CDevSimFleet::vStop() {
    m_udp->vStop();
    m_horn->vStop();
    m_upgrade->vStop();
    m_stream->vStop();
}

CSimDeviceState CDevSimFleet::sDeviceState(std::size_t index) const {
    std::lock_guard lock(m_core.m_mutex);
    return m_core.m_devices.at(index).sState();
}

CSimBehaviour CDevSimFleet::sBehaviour(std::size_t index) const {
    std::lock_guard lock(m_core.m_mutex);
    return m_core.m_devices.at(index).sBehaviour();
}

void CDevSimFleet::vUpdateDevice(
    std::size_t index, const std::function<void(CSimDeviceState&, CSimBehaviour&)>& change) {
    std::lock_guard lock(m_core.m_mutex);
    CSimDevice& device = m_core.m_devices.at(index);
    change(device.sState(), device.sBehaviour());
}

CEndpoint CDevSimFleet::sCommandEndpoint(std::size_t index) const {
    std::lock_guard lock(m_core.m_mutex);
    return CEndpoint{m_core.m_devices.at(index).iAddr(), 24216};
}

int CDevSimFleet::iAnnounce(std::size_t index, std::uint32_t messageType) {
    std::lock_guard lock(m_core.m_mutex);
    return m_udp->iAnnounceLocked(index, messageType);
}

std::size_t CDevSimFleet::iAnnounceAll(std::uint32_t messageType) {
    std::lock_guard lock(m_core.m_mutex);
    std::size_t sent = 0;
    for (std::size_t i = 0; i < m_iCount; ++i) {
        if (m_udp->iAnnounceLocked(i, messageType) == 0) {
            ++sent;
        }
    }
    return sent;
}

}  // namespace devsim
