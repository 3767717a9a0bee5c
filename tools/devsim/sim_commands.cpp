// CSimDevice: the answer to each request of the command protocol.

#include <algorithm>
#include <cstdio>

#include "devsim/sim_addr.h"
#include "devsim/sim_device.h"

namespace devsim {

namespace {

// Smallest datagram each request with a payload must have; shorter ones are ignored.
constexpr std::size_t kLoginBytes = 80;
constexpr std::size_t kUidBytes = 36;
constexpr std::size_t kUidChars = 20;
constexpr std::size_t kDefaultFlagsBytes = 20;
constexpr std::size_t kConfigItemBytes = 84;
constexpr std::size_t kConnectWifiBytes = 116;
constexpr std::size_t kDeleteSensorBytes = 52;
constexpr std::size_t kNameSensorBytes = 21;
constexpr std::size_t kPasswordBytes = 80;
constexpr std::size_t kKeyCommandBytes = 20;
constexpr std::size_t kSensorRequestBytes = 24;
constexpr std::uint32_t kFlashImageMb = 16;

std::uint8_t iCode(ERequest code) {
    return static_cast<std::uint8_t>(code);
}
std::uint8_t iCode(EReply code) {
    return static_cast<std::uint8_t>(code);
}

bool fgValidMainResolution(std::uint8_t code) {
    return code == 4 || code == 7 || code == 16 || code == 18;
}

bool fgValidSubResolution(std::uint8_t code) {
    return code == 0 || code == 1 || code == 2 || code == 6 || code == 7;
}

bool fgValidStream(const CStreamSettings& stream) {
    return stream.m_iStandard >= 0 && stream.m_iStandard <= 2 && stream.m_ucFrameRate >= 1 &&
           stream.m_ucFrameRate <= 30 && stream.m_usBitRate >= 1;
}

// A contiguous mask such as 255.255.255.0.
bool fgParseMask(const std::string& text) {
    std::uint32_t maskNet = 0;
    if (!fgParseIp(text, maskNet)) {
        return false;
    }
    const std::uint32_t hostBits = ~iToHost(maskNet);
    return hostBits != 0xFFFFFFFFU && (hostBits & (hostBits + 1)) == 0;
}

}  // namespace

CSimDevice::COutcome CSimDevice::sHandle(std::span<const std::uint8_t> request,
                                         const CEndpoint& from, CSimTime now,
                                         const FAddressCheck& canMove) {
    COutcome outcome;
    const std::optional<CHeader> header = sParseHeader(request);
    if (!header) {
        return outcome;
    }
    ++m_state.m_uiRequests;
    // The print requests themselves repeat every second; they would drown the log.
    const bool printRequest = header->m_ucCode == iCode(ERequest::StartPrint) ||
                              header->m_ucCode == iCode(ERequest::StopPrint);
    if (m_printTarget && !printRequest) {
        char line[96] = {};
        std::snprintf(line, sizeof line, "recv cmd %u from %s, %zu bytes\r\n", header->m_ucCode,
                      strIpText(from.m_uiAddr).c_str(), request.size());
        vLog(line);
    }
    vHandleRequest(*header, request, from, now, canMove, outcome);
    return outcome;
}

void CSimDevice::vHandleRequest(const CHeader& header, std::span<const std::uint8_t> request,
                                const CEndpoint& from, CSimTime now, const FAddressCheck& canMove,
                                COutcome& outcome) {
    const std::uint8_t code = header.m_ucCode;
    auto reply = [&outcome](std::uint8_t type, std::uint8_t status = 0) {
        outcome.m_replies.push_back(sBuildStatusReply(type, status));
    };
    const bool camera = m_state.fgIsCamera();
    switch (static_cast<ERequest>(code)) {
        case ERequest::Search:
            outcome.m_replies.push_back(sDiscoveryReply());
            return;
        case ERequest::Login:
            vHandleLogin(request, outcome);
            return;
        case ERequest::PtzMove:
            m_state.m_iLastPtzDirection = header.m_ucParam;
            return;
        case ERequest::FormatSd:
            if (m_state.m_uiSdTotalMb == 0) {
                reply(iCode(EReply::NoSdCard));
                return;
            }
            m_state.m_uiSdFreeMb = m_state.m_uiSdTotalMb;
            ++m_state.m_uiFormats;
            reply(iCode(EReply::FormatDone));
            return;
        case ERequest::LearnWarning:
            vHandleLearn(false, from, now, outcome);
            return;
        case ERequest::LearnKey:
            vHandleLearn(true, from, now, outcome);
            return;
        case ERequest::SetWired:
            vHandleNetwork(true, request, canMove, outcome);
            return;
        case ERequest::SetWifi:
            vHandleNetwork(false, request, canMove, outcome);
            return;
        case ERequest::Restart:
            reply(iCode(EReply::Restarting));
            outcome.m_fgRestart = true;
            return;
        case ERequest::FactoryReset:
            vHandleFactoryReset(canMove, outcome);
            return;
        case ERequest::SetUid: {
            if (request.size() < kUidBytes) {
                return;
            }
            const std::string uid = strGetText(request, kHeaderBytes, kUidChars);
            if (uid.size() != kUidChars) {
                reply(iCode(EReply::UidFailed));
                return;
            }
            m_state.m_strUid = uid;
            reply(iCode(EReply::UidSet));
            return;
        }
        case ERequest::Upgrade:
            ++m_state.m_uiUpgradeRequests;
            reply(iCode(EReply::UpgradeAccepted));
            return;
        case ERequest::MakeFlashImage:
            if (m_state.m_uiSdTotalMb == 0) {
                reply(iCode(EReply::NoSdCard));
            } else if (m_state.m_uiSdFreeMb < kFlashImageMb) {
                reply(iCode(EReply::FlashImageFailed));
            } else {
                m_state.m_uiSdFreeMb -= kFlashImageMb;
                reply(iCode(EReply::FlashImageDone));
            }
            return;
        case ERequest::OpenStream:
            ++m_state.m_uiStreamOpens;
            return;
        case ERequest::OpenHorn:
            ++m_state.m_uiHornOpens;
            return;
        case ERequest::DefaultFlags:
            if (request.size() < kDefaultFlagsBytes) {
                return;
            }
            vSetConfig("hw_flag", std::to_string(iGetU32(request, kHeaderBytes)));
            reply(code, 0);
            return;
        case ERequest::ConfigItem:
            vHandleConfigItem(request, outcome);
            return;
        case ERequest::Extended:
            vHandleExtended(header, request, outcome);
            return;
        case ERequest::ConnectWifi:
            vHandleConnectWifi(request, now, outcome);
            return;
        case ERequest::WifiStatus: {
            const std::size_t slot = static_cast<std::size_t>(m_state.m_iWifiConnected - 1);
            if (m_state.m_iWifiConnected > 0 && slot < m_state.m_wifiNets.size()) {
                outcome.m_replies.push_back(
                    sBuildWifiConnectedReply(m_state.m_wifiNets[slot].m_strSsid));
            }
            return;
        }
        case ERequest::GetVideo:
            if (camera) {
                outcome.m_replies.push_back(
                    sBuildVideoReply(m_state.m_mainStream, m_state.m_subStream));
            } else {
                reply(iCode(EReply::VideoFailed));
            }
            return;
        case ERequest::SetVideo: {
            const auto streams = sParseVideoRequest(request);
            if (!streams) {
                return;
            }
            const auto& [mainStream, subStream] = *streams;
            if (!camera || !fgValidMainResolution(mainStream.m_ucResolution) ||
                !fgValidSubResolution(subStream.m_ucResolution) || !fgValidStream(mainStream) ||
                !fgValidStream(subStream)) {
                reply(iCode(EReply::VideoRejected));
                return;
            }
            m_state.m_mainStream = mainStream;
            m_state.m_subStream = subStream;
            reply(iCode(EReply::VideoSet));
            return;
        }
        case ERequest::GetConfigText:
            outcome.m_replies.push_back(sBuildConfigTextReply(m_state.strConfigText()));
            return;
        case ERequest::QuerySensors:
            outcome.m_replies.push_back(sBuildSensorListReply(m_state.m_sensors));
            return;
        case ERequest::DeleteSensor:
            if (request.size() >= kDeleteSensorBytes) {
                const std::uint32_t index = iGetU32(request, 48);
                std::erase_if(m_state.m_sensors, [index](const CSensorRecord& sensor) {
                    return sensor.m_ucIndex == index;
                });
            }
            return;
        case ERequest::ClearSensors:
            m_state.m_sensors.clear();
            m_iSensorToName = -1;
            return;
        case ERequest::StopLearning:
            m_pendingLearn.reset();
            return;
        case ERequest::StopHorn:
            ++m_state.m_horn.m_uiStops;
            return;
        case ERequest::NameSensor:
            if (request.size() >= kNameSensorBytes && m_iSensorToName >= 0) {
                if (CSensorRecord* sensor =
                        psFindSensor(static_cast<std::uint32_t>(m_iSensorToName))) {
                    sensor->m_strName = strGetText(request, 20, 36);
                }
                m_iSensorToName = -1;
            }
            return;
        case ERequest::SensorTest:
        case ERequest::SocketCalibration:
            vHandleSensorResult(code, request, outcome);
            return;
        case ERequest::GetMotorTimer:
        case ERequest::SetMotorTimer:
        case ERequest::GetMotorPos:
        case ERequest::ZeroMotor:
        case ERequest::MotorRight:
        case ERequest::MotorLeft:
        case ERequest::StopHorizontal:
        case ERequest::MotorVertical:
        case ERequest::StopVertical:
            vHandleMotor(code, request, now, outcome);
            return;
        case ERequest::ChangePassword: {
            if (request.size() < kPasswordBytes) {
                return;
            }
            const std::string user = strGetText(request, 16, 32);
            const std::string password = strGetText(request, 48, 32);
            if (user != m_state.m_strUser || password.empty()) {
                reply(iCode(EReply::PasswordRefused));
                return;
            }
            m_state.m_strPassword = password;
            reply(iCode(EReply::PasswordChanged));
            return;
        }
        case ERequest::KeyCommand:
            vHandleKeyCommand(header, request, outcome);
            return;
        case ERequest::StartPrint:
            if (!m_printTarget) {
                m_nextStatusLine = now;
            }
            m_printTarget = from;
            m_lastPrintRequest = now;
            return;
        case ERequest::StopPrint:
            m_printTarget.reset();
            m_pendingLog.clear();
            return;
        case ERequest::GetFlip:
            if (camera) {
                reply(code, m_state.m_ucFlip);
            }
            return;
        case ERequest::GetDayNight:
            if (camera) {
                reply(code, m_state.m_ucDayNight);
            }
            return;
        default:
            break;
    }
    if (camera && code >= iCode(ERequest::SetFlipFirst) && code <= iCode(ERequest::SetFlipLast)) {
        m_state.m_ucFlip = static_cast<std::uint8_t>(code - iCode(ERequest::SetFlipFirst));
    } else if (camera && code >= iCode(ERequest::SetDayNightFirst) &&
               code <= iCode(ERequest::SetDayNightLast)) {
        m_state.m_ucDayNight = static_cast<std::uint8_t>(code - iCode(ERequest::SetDayNightFirst));
    }
}

void CSimDevice::vHandleLogin(std::span<const std::uint8_t> request, COutcome& outcome) const {
    if (request.size() < kLoginBytes) {
        return;
    }
    const std::string user = strGetText(request, 16, 32);
    const std::string password = strGetText(request, 48, 32);
    const bool accepted = !m_behaviour.m_fgRefuseLogin && user == m_state.m_strUser &&
                          password == m_state.m_strPassword;
    if (!accepted) {
        // A refused login reveals no networks.
        outcome.m_replies.push_back(sBuildLoginReply(false, m_state.m_detectors, {}, 0));
        return;
    }
    std::vector<CWifiListEntry> networks;
    networks.reserve(m_state.m_wifiNets.size());
    for (const CSimWifiNet& net : m_state.m_wifiNets) {
        networks.push_back({net.m_ucEncryption, net.m_usIntensity, net.m_strSsid});
    }
    outcome.m_replies.push_back(
        sBuildLoginReply(true, m_state.m_detectors, networks, m_state.m_iWifiConnected));
    const bool gateway = !m_state.fgIsCamera();
    outcome.m_replies.push_back(sBuildCapabilityReply(m_state.fgIsPanoramic(), gateway));
}

void CSimDevice::vHandleNetwork(bool wired, std::span<const std::uint8_t> request,
                                const FAddressCheck& canMove, COutcome& outcome) {
    const std::optional<CNetRequest> settings = sParseNetRequest(request);
    if (!settings) {
        return;
    }
    const std::uint8_t okType = iCode(wired ? EReply::WiredSet : EReply::WifiSet);
    const std::uint8_t failType = iCode(wired ? EReply::WiredFailed : EReply::WifiFailed);
    CSimNetBlock& block = wired ? m_state.m_wired : m_state.m_wifi;
    // The block the device answers through decides where it listens.
    const bool listensHere = wired != m_state.m_fgOverWifi;
    CSimNetBlock updated{settings->m_strIp, settings->m_strMask, settings->m_strGateway,
                         settings->m_strDns, settings->m_fgDhcp};
    if (settings->m_fgDhcp) {
        // No DHCP server answers in the simulation: the device keeps the address it has.
        if (listensHere) {
            updated.m_strIp = block.m_strIp;
        }
        block = updated;
        outcome.m_replies.push_back(sBuildStatusReply(okType, 0));
        return;
    }
    std::uint32_t newAddr = 0;
    if (!fgParseIp(settings->m_strIp, newAddr) || !fgParseMask(settings->m_strMask)) {
        outcome.m_replies.push_back(sBuildStatusReply(failType, 0));
        return;
    }
    if (listensHere && newAddr != m_uiAddrNet) {
        if (!canMove || !canMove(newAddr)) {
            outcome.m_replies.push_back(sBuildStatusReply(failType, 0));
            return;
        }
        outcome.m_moveTo = newAddr;
    }
    block = updated;
    vLog("network settings changed\r\n");
    outcome.m_replies.push_back(sBuildStatusReply(okType, 0));
}

void CSimDevice::vHandleFactoryReset(const FAddressCheck& canMove, COutcome& outcome) {
    outcome.m_replies.push_back(sBuildStatusReply(iCode(EReply::Resetting), 0));
    outcome.m_fgRestart = true;
    // Identity, hardware and counters survive; settings go back to the factory state,
    // with the user password the default configuration names.
    CSimDeviceState restored = m_factory;
    restored.m_strUid = m_state.m_strUid;
    restored.m_strVersion = m_state.m_strVersion;
    restored.m_wiredMac = m_state.m_wiredMac;
    restored.m_wifiMac = m_state.m_wifiMac;
    restored.m_uiFlags = m_state.m_uiFlags;
    restored.m_uiSdTotalMb = m_state.m_uiSdTotalMb;
    restored.m_uiSdFreeMb = m_state.m_uiSdFreeMb;
    restored.m_wifiNets = m_state.m_wifiNets;
    restored.m_uiRequests = m_state.m_uiRequests;
    restored.m_uiUpgradeRequests = m_state.m_uiUpgradeRequests;
    restored.m_uiFormats = m_state.m_uiFormats;
    restored.m_uiRestarts = m_state.m_uiRestarts;
    restored.m_uiResets = m_state.m_uiResets + 1;
    restored.m_uiStreamOpens = m_state.m_uiStreamOpens;
    restored.m_uiHornOpens = m_state.m_uiHornOpens;
    restored.m_horn = m_state.m_horn;
    restored.m_stream = m_state.m_stream;
    const std::string defaultPassword = m_state.strConfig("default_pwd");
    if (!defaultPassword.empty()) {
        restored.m_strPassword = defaultPassword;
        for (auto& [key, value] : restored.m_config) {
            if (key == "default_pwd") {
                value = defaultPassword;
            }
        }
    }
    m_state = std::move(restored);
    m_pendingWifi.reset();
    m_motorRuns = {};
    m_iSensorToName = -1;
    if (m_uiFactoryAddrNet != m_uiAddrNet) {
        if (canMove && canMove(m_uiFactoryAddrNet)) {
            outcome.m_moveTo = m_uiFactoryAddrNet;
        } else {
            // The factory address is taken: stay reachable where the device is.
            CSimNetBlock& block = m_state.m_fgOverWifi ? m_state.m_wifi : m_state.m_wired;
            block.m_strIp = strIpText(m_uiAddrNet);
        }
    }
}

void CSimDevice::vHandleExtended(const CHeader& header, std::span<const std::uint8_t> request,
                                 COutcome& outcome) {
    const std::uint32_t subCommand = header.m_uiWordB;
    if (subCommand == kExtGetKeys) {
        outcome.m_replies.push_back(sBuildExtReply(kExtKeys, 0, m_state.m_keyFunctions));
        return;
    }
    if (subCommand == kExtSaveKeys) {
        if (request.size() < kHeaderBytes + 16) {
            return;
        }
        for (std::size_t i = 0; i < m_state.m_keyFunctions.size(); ++i) {
            m_state.m_keyFunctions[i] = iGetU32(request, kHeaderBytes + 4 * i);
        }
        outcome.m_replies.push_back(sBuildExtReply(kExtKeysSaved, 0, {}));
        return;
    }
    if (subCommand == kExtCameraAction && m_state.fgIsCamera()) {
        if (request.size() < kHeaderBytes + 4) {
            return;
        }
        const std::uint32_t action = iGetU32(request, kHeaderBytes);
        if (m_state.m_cameraActions.size() == CSimDeviceState::kCameraActionsKept) {
            m_state.m_cameraActions.erase(m_state.m_cameraActions.begin());
        }
        m_state.m_cameraActions.push_back(action);
        const std::array<std::uint32_t, 2> words{action, 0};
        outcome.m_replies.push_back(sBuildExtReply(kExtActionDone, 0, words));
        return;
    }
    outcome.m_replies.push_back(sBuildExtReply(kExtUnsupported, subCommand, {}));
}

void CSimDevice::vHandleConnectWifi(std::span<const std::uint8_t> request, CSimTime now,
                                    COutcome& outcome) {
    if (request.size() < kConnectWifiBytes) {
        return;
    }
    const std::string password = strGetText(request, 20, 64);
    const std::string ssid = strGetText(request, 84, 32);
    for (std::size_t i = 0; i < m_state.m_wifiNets.size(); ++i) {
        const CSimWifiNet& net = m_state.m_wifiNets[i];
        if (net.m_strSsid.substr(0, 32) != ssid) {
            continue;
        }
        if (net.m_ucEncryption != 0 && net.m_strPassword != password) {
            break;
        }
        const int number = static_cast<int>(i) + 1;
        if (m_behaviour.m_iWifiConnectMs <= 0) {
            vFinishWifi(number);
        } else {
            m_pendingWifi =
                CPendingWifi{number, now + std::chrono::milliseconds(m_behaviour.m_iWifiConnectMs)};
        }
        outcome.m_replies.push_back(sBuildStatusReply(iCode(EReply::WifiConnecting), 0));
        return;
    }
    outcome.m_replies.push_back(sBuildStatusReply(iCode(EReply::WifiRefused), 0));
}

void CSimDevice::vHandleConfigItem(std::span<const std::uint8_t> request, COutcome& outcome) {
    if (request.size() < kConfigItemBytes) {
        return;
    }
    const std::string key = strGetText(request, 16, 32);
    const std::string value = strGetText(request, 48, 32);
    const bool known = std::any_of(m_state.m_config.begin(), m_state.m_config.end(),
                                   [&key](const auto& item) { return item.first == key; });
    const std::uint8_t code = iCode(ERequest::ConfigItem);
    if (key.empty() || (!known && m_state.m_config.size() >= kConfigItemsMax)) {
        outcome.m_replies.push_back(sBuildStatusReply(code, 1));
        return;
    }
    vSetConfig(key, value);
    outcome.m_replies.push_back(sBuildStatusReply(code, 0));
}

void CSimDevice::vHandleLearn(bool keyFob, const CEndpoint& from, CSimTime now, COutcome& outcome) {
    if (m_behaviour.m_iLearnMs > 0) {
        // A new start begins the wait again.
        m_pendingLearn =
            CPendingLearn{keyFob, from, now + std::chrono::milliseconds(m_behaviour.m_iLearnMs)};
        return;
    }
    outcome.m_replies.push_back(sFinishLearn(keyFob));
}

CBytes CSimDevice::sFinishLearn(bool keyFob) {
    const int index = iFreeSensorIndex();
    const std::uint8_t failType = iCode(keyFob ? EReply::KeyLearnFailed : EReply::LearnFailed);
    if (m_behaviour.m_fgLearnFails || index < 0 || m_state.m_sensors.size() >= kSensorsMax) {
        return sBuildStatusReply(failType, 0);
    }
    CSensorRecord sensor;
    sensor.m_ucIndex = static_cast<std::uint8_t>(index);
    sensor.m_ucKind = keyFob ? kSensorKeyFob : kSensorAlarm;
    sensor.m_strName = (keyFob ? "Key " : "Alarm ") + std::to_string(index);
    sensor.m_iMainValue = 1;
    sensor.m_iSendDb = -50;
    sensor.m_iRecvDb = -50;
    m_state.m_sensors.push_back(sensor);
    if (keyFob) {
        m_iSensorToName = index;
    }
    vLog("learnt sensor " + std::to_string(index) + "\r\n");
    const std::uint8_t type = iCode(keyFob ? EReply::KeyLearnt : EReply::LearnDone);
    return sBuildLearnReply(type, sensor);
}

void CSimDevice::vHandleSensorResult(std::uint8_t code, std::span<const std::uint8_t> request,
                                     COutcome& outcome) {
    if (request.size() < kSensorRequestBytes) {
        return;
    }
    const std::uint32_t index = iGetU32(request, 16);
    CSensorRecord* sensor = psFindSensor(index);
    const bool calibration = code == iCode(ERequest::SocketCalibration);
    const auto power = static_cast<std::int32_t>(iGetU32(request, 20));
    if (sensor == nullptr ||
        (calibration && (sensor->m_ucKind != kSensorSocket || power <= 0 || power > 0xFFFF))) {
        outcome.m_replies.push_back(sBuildSensorResultReply(code, 1, CSensorRecord{}));
        return;
    }
    if (calibration) {
        sensor->m_usSecondValue = static_cast<std::uint16_t>(power);
    }
    outcome.m_replies.push_back(sBuildSensorResultReply(code, 0, *sensor));
}

void CSimDevice::vHandleKeyCommand(const CHeader& header, std::span<const std::uint8_t> request,
                                   COutcome& outcome) {
    if (request.size() < kKeyCommandBytes) {
        return;
    }
    // The payload length names the parameter bytes; believe it only as far as they came.
    const std::size_t claimed = header.m_usPayloadLen > 4 ? header.m_usPayloadLen - 4U : 0U;
    const std::size_t paramBytes = std::min(claimed, request.size() - kKeyCommandBytes);
    m_state.m_iLastKeyCode = static_cast<std::int32_t>(iGetU32(request, 16));
    m_state.m_lastKeyParams.assign(
        request.begin() + kKeyCommandBytes,
        request.begin() + static_cast<std::ptrdiff_t>(kKeyCommandBytes + paramBytes));
    if (m_state.m_iLastKeyCode == kKeyUpdateMac) {
        m_fgMacUpdatePending = true;
    }
    vLog("key command " + std::to_string(m_state.m_iLastKeyCode) + "\r\n");
    outcome.m_replies.push_back(sBuildStatusReply(iCode(ERequest::KeyCommand), 0));
}

}  // namespace devsim
