#include "devsim/sim_device.h"

#include <cstdio>

#include "devsim/sim_addr.h"

namespace devsim {

namespace {

// Printing stops when the station has not repeated its start request for this long.
constexpr auto kPrintKeepAlive = std::chrono::seconds(10);
constexpr auto kStatusLinePeriod = std::chrono::seconds(1);
constexpr std::size_t kPendingLogMax = 64;

constexpr std::uint8_t kCameraTypes = 4;  // type indexes 0 to 3; every fifth device is a gateway
constexpr std::size_t kKindsInTurn = 5;

std::string strFormatUid(std::size_t index) {
    char text[32] = {};
    std::snprintf(text, sizeof text, "KSIM%011zuDEVAA", index + 1);
    return text;
}

CMac sMakeMac(std::uint8_t family, std::size_t index) {
    const std::size_t serial = index + 1;
    return CMac{0x02,
                0x4B,
                family,
                static_cast<std::uint8_t>((serial >> 16) & 0xFF),
                static_cast<std::uint8_t>((serial >> 8) & 0xFF),
                static_cast<std::uint8_t>(serial & 0xFF)};
}

std::vector<CSimWifiNet> vecDefaultWifiNets() {
    return {
        {"Kestrel-Lab", 4, 82, "labpass123"},
        {"Kestrel-Guest", 0, 47, ""},
        {"Line-3 Production", 4, 63, "line3-2024"},
        {"工厂无线", 4, 30, "factory88"},
    };
}

std::vector<CSensorRecord> vecDefaultSensors() {
    return {
        {1, kSensorDoor, "Front door", 1, 0, 0, -48, -52},
        {2, kSensorSmoke, "Smoke kitchen", 1, 0, 0, -61, -58},
        {3, kSensorClimate, "Climate hall", 2150, 4550, 300, -55, -57},
        {4, kSensorSocket, "Socket desk", 1, 60, 0, -40, -44},
        // Indices leave 5 free for the first sensor learnt.
        {9, kSensorGas, "Gas kitchen", 120, 0, 0, -66, -63},
        {10, kSensorWater, "Water leak bath", 1, 0, 0, -70, -68},
        {11, kSensorSiren, "Siren porch", 0, 0, 0, -59, -61},
    };
}

}  // namespace

std::string CSimDeviceState::strConfig(const std::string& key) const {
    for (const auto& [itemKey, value] : m_config) {
        if (itemKey == key) {
            return value;
        }
    }
    return {};
}

std::string CSimDeviceState::strConfigText() const {
    std::string text;
    for (const auto& [key, value] : m_config) {
        text += key + "=" + value + "\n";
    }
    return text;
}

CSimDeviceState sMakeDefaultState(std::size_t index, std::uint32_t addrNet, int prefix,
                                  const std::string& password) {
    CSimDeviceState state;
    const bool isGateway = index % kKindsInTurn == kCameraTypes;
    state.m_strUid = strFormatUid(index);
    state.m_strVersion = isGateway ? "GW2.1.9.240530" : "V3.4.7.240612";
    state.m_wiredMac = sMakeMac(0x53, index);
    state.m_wifiMac = sMakeMac(0x57, index);

    const std::uint32_t networkHost = iToHost(addrNet) & iMaskHost(prefix);
    const std::string gateway = strIpText(iToNet(networkHost + 1));
    state.m_wired = {strIpText(addrNet), strIpText(iMaskNet(prefix)), gateway, gateway, false};
    state.m_wifi = {"0.0.0.0", "0.0.0.0", "0.0.0.0", "0.0.0.0", true};
    const std::uint32_t wifiHost = (192U << 24) | (168U << 16) |
                                   (static_cast<std::uint32_t>(77 + index / 250) << 8) |
                                   static_cast<std::uint32_t>(index % 250 + 2);
    state.m_wifiOnConnect = {strIpText(iToNet(wifiHost)), "255.255.255.0", "192.168.77.1",
                             "192.168.77.1", true};

    if (isGateway) {
        state.m_uiFlags = 0;
        state.m_detectors = {false, false, true};
        state.m_sensors = vecDefaultSensors();
    } else {
        state.m_uiFlags = kFlagCamera | static_cast<std::uint32_t>(index % kKindsInTurn);
        if (index % 7 == 3) {
            state.m_uiFlags |= kFlagPanoramic;
        }
        state.m_uiSdTotalMb = 30436;
        state.m_uiSdFreeMb = 30436 - static_cast<std::uint32_t>((index * 37) % 5000);
        state.m_detectors = {true, false, false};
    }
    state.m_strPassword = password;
    state.m_wifiNets = vecDefaultWifiNets();
    state.m_mainStream = {16, 25, 2048, 0};
    state.m_subStream = {7, 15, 512, 0};
    state.m_ucMotorTimerH = 20;
    state.m_ucMotorTimerV = 20;
    state.m_config = {{"default_pwd", password},
                      {"safe_pwd", "5071"},
                      {"sys_sound_vol", "250"},
                      {"fg0_reset", "0"},
                      {"hw_flag", "0"}};
    state.m_keyFunctions = {17, 18, 76, 117};
    return state;
}

void vAnswerOverWifi(CSimDeviceState& state) {
    if (state.m_fgOverWifi) {
        return;
    }
    state.m_fgOverWifi = true;
    state.m_wifi = state.m_wired;
    state.m_wired = {"0.0.0.0", "0.0.0.0", "0.0.0.0", "0.0.0.0", false};
    state.m_iWifiConnected = state.m_wifiNets.empty() ? 0 : 1;
}

CSimDevice::CSimDevice(CSimDeviceState state, CSimBehaviour behaviour, std::uint32_t addrNet)
    : m_state(std::move(state)),
      m_behaviour(behaviour),
      m_uiAddrNet(addrNet),
      m_factory(m_state),
      m_uiFactoryAddrNet(addrNet) {}

void CSimDevice::vKeepFactoryState() {
    m_factory = m_state;
    m_uiFactoryAddrNet = m_uiAddrNet;
}

bool CSimDevice::fgAnswers(CSimTime now) const {
    return !m_behaviour.m_fgSilent && now >= m_silentUntil;
}

void CSimDevice::vRestart(CSimTime now, std::optional<int> silenceMs) {
    m_silentUntil = now + std::chrono::milliseconds(silenceMs.value_or(m_behaviour.m_iRestartMs));
    m_printTarget.reset();
    m_pendingLog.clear();
    ++m_state.m_uiRestarts;
    if (m_fgMacUpdatePending) {
        // A new wired MAC takes effect with the restart: the next serial of its family.
        m_fgMacUpdatePending = false;
        for (auto byte = m_state.m_wiredMac.rbegin(); byte != m_state.m_wiredMac.rend(); ++byte) {
            if (++*byte != 0) {
                break;
            }
        }
    }
}

void CSimDevice::vMovedTo(std::uint32_t addrNet) {
    m_uiAddrNet = addrNet;
    CSimNetBlock& block = m_state.m_fgOverWifi ? m_state.m_wifi : m_state.m_wired;
    block.m_strIp = strIpText(addrNet);
}

CBytes CSimDevice::sDiscoveryReply() const {
    CDiscoveryInfo info;
    info.m_strWiredIp = m_state.m_wired.m_strIp;
    info.m_strWiredMask = m_state.m_wired.m_strMask;
    info.m_strWiredGateway = m_state.m_wired.m_strGateway;
    info.m_strWiredDns = m_state.m_wired.m_strDns;
    info.m_fgWiredDhcp = m_state.m_wired.m_fgDhcp;
    info.m_strWifiIp = m_state.m_wifi.m_strIp;
    info.m_strWifiMask = m_state.m_wifi.m_strMask;
    info.m_strWifiGateway = m_state.m_wifi.m_strGateway;
    info.m_strWifiDns = m_state.m_wifi.m_strDns;
    info.m_fgWifiDhcp = m_state.m_wifi.m_fgDhcp;
    info.m_wiredMac = m_state.m_wiredMac;
    info.m_wifiMac = m_state.m_wifiMac;
    info.m_strUid = m_state.m_strUid;
    info.m_strVersion = m_state.m_strVersion;
    info.m_uiSdTotalMb = m_state.m_uiSdTotalMb;
    info.m_uiSdFreeMb = m_state.m_uiSdFreeMb;
    info.m_uiFlags = m_state.m_uiFlags;
    return sBuildDiscoveryReply(info);
}

CSimDevice::CLogOutput CSimDevice::sTick(CSimTime now) {
    CLogOutput output;
    vAdvanceMotors(now);
    if (m_pendingWifi && now >= m_pendingWifi->m_due) {
        vFinishWifi(m_pendingWifi->m_iNumber);
        m_pendingWifi.reset();
    }
    if (m_pendingLearn && now >= m_pendingLearn->m_due) {
        output.m_answers.emplace_back(m_pendingLearn->m_requester,
                                      sFinishLearn(m_pendingLearn->m_fgKeyFob));
        m_pendingLearn.reset();
    }
    if (!m_printTarget) {
        return output;
    }
    if (now - m_lastPrintRequest > kPrintKeepAlive) {
        m_printTarget.reset();
        m_pendingLog.clear();
        return output;
    }
    if (now >= m_nextStatusLine) {
        m_nextStatusLine = now + kStatusLinePeriod;
        char line[160] = {};
        std::snprintf(line, sizeof line, "[%u] uid=%s ip=%s wifi=%d sensors=%zu\r\n",
                      ++m_uiLogNumber, m_state.m_strUid.c_str(), strIpText(m_uiAddrNet).c_str(),
                      m_state.m_iWifiConnected, m_state.m_sensors.size());
        m_pendingLog.emplace_back(line);
    }
    output.m_target = *m_printTarget;
    while (!m_pendingLog.empty()) {
        output.m_lines.push_back(sBuildLogReply(m_pendingLog.front()));
        m_pendingLog.pop_front();
    }
    return output;
}

void CSimDevice::vFinishWifi(int number) {
    m_state.m_iWifiConnected = number;
    if (!m_state.m_fgOverWifi) {
        m_state.m_wifi = m_state.m_wifiOnConnect;
    }
    const std::size_t slot = static_cast<std::size_t>(number - 1);
    if (slot < m_state.m_wifiNets.size()) {
        vLog("wifi connected: " + m_state.m_wifiNets[slot].m_strSsid + "\r\n");
    }
}

void CSimDevice::vLog(std::string line) {
    if (!m_printTarget) {
        return;
    }
    if (m_pendingLog.size() >= kPendingLogMax) {
        m_pendingLog.pop_front();
    }
    m_pendingLog.push_back(std::move(line));
}

void CSimDevice::vSetConfig(const std::string& key, const std::string& value) {
    for (auto& [itemKey, itemValue] : m_state.m_config) {
        if (itemKey == key) {
            itemValue = value;
            return;
        }
    }
    m_state.m_config.emplace_back(key, value);
}

CSensorRecord* CSimDevice::psFindSensor(std::uint32_t index) {
    for (CSensorRecord& sensor : m_state.m_sensors) {
        if (sensor.m_ucIndex == index) {
            return &sensor;
        }
    }
    return nullptr;
}

int CSimDevice::iFreeSensorIndex() const {
    for (int candidate = 1; candidate <= 255; ++candidate) {
        bool used = false;
        for (const CSensorRecord& sensor : m_state.m_sensors) {
            used = used || sensor.m_ucIndex == candidate;
        }
        if (!used) {
            return candidate;
        }
    }
    return -1;
}

}  // namespace devsim
