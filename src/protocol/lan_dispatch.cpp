// The receive side of the station: the reply dispatcher, the result lines and the
// announcement handler. Runs on the transport's receive thread; never waits for the
// operator and never reads past the datagram it is given.

#include <algorithm>
#include <array>
#include <utility>

#include "app/dbg_print.h"
#include "app/text_conv.h"
#include "app/translate.h"
#include "protocol/cmd_header.h"
#include "protocol/station.h"

namespace {

// Bounded reads of a reply. Bytes past the received length read as zero, as they
// would in the zero-filled receive buffer, but no count taken from the reply can make
// a read leave the datagram.
class CReply {
  public:
    explicit CReply(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    std::uint8_t byAt(std::size_t offset) const {
        return offset < m_bytes.size() ? m_bytes[offset] : 0;
    }
    std::uint16_t usAt(std::size_t offset) const { return usReadLe16(m_bytes, offset); }
    std::uint32_t uiAt(std::size_t offset) const { return uiReadLe32(m_bytes, offset); }
    // The bytes [offset, offset + count) that were received.
    std::span<const std::uint8_t> spanAt(std::size_t offset, std::size_t count) const {
        if (offset >= m_bytes.size()) {
            return {};
        }
        return m_bytes.subspan(offset, std::min(count, m_bytes.size() - offset));
    }
    // Copies count bytes from offset; what was not received stays zero.
    template <std::size_t N>
    std::array<std::uint8_t, N> arrAt(std::size_t offset) const {
        std::array<std::uint8_t, N> out{};
        const auto got = spanAt(offset, N);
        std::copy(got.begin(), got.end(), out.begin());
        return out;
    }
    std::size_t size() const { return m_bytes.size(); }

  private:
    std::span<const std::uint8_t> m_bytes;
};

// A name a device sends in UTF-8, shown in the local code page.
std::string strLocalName(std::span<const std::uint8_t> utf8, int destinationBytes) {
    std::vector<char> local(static_cast<std::size_t>(destinationBytes) + 1, '\0');
    vUtf82Ansi(local.data(), reinterpret_cast<const char*>(utf8.data()),
               static_cast<int>(utf8.size()), static_cast<int>(local.size()));
    return local.data();
}

struct CResultKey {
    int m_iCode;
    const char* m_pszKey;
};

// Codes whose line is "\r\n<IP text> <message>".
constexpr CResultKey kResultKeys[] = {
    {56, "Send start print log command"},
    {57, "Send stop print log command"},
    {104, "Check updgrade file in SD card success"},
    {107, "Format SD card success"},
    {109, "Code success"},
    {110, "Code failed"},
    {111, "Setting cable network parameters successfully"},
    {112, "Setting cable network parameters failed"},
    {113, "To restart"},
    {114, "Began to recover the factory"},
    {116, "Set uid failed"},
    {126, "Get video param success"},
    {127, "Get video param failed"},
    {128, "Set video param success"},
    {129, "Set video param failed"},
    {131, "Check updgrade file in SD card failed"},
    {141, "Set wifi success"},
    {142, "Set wifi failed"},
    {145, "Get version failed"},
    {146, "Query sensor success"},
    {147, "Query sensor failed"},
    {153, "Get motor timer success"},
    {154, "Get motor timer failed"},
    {157, "Get motor pos success"},
    {158, "Get motor pos failed"},
    {159, "Zero motor pos success"},
    {160, "Zero motor pos failed"},
    {161, "Motor movo  right success"},
    {163, "Motor movo  left success"},
    {165, "Stop motor move horizontal success"},
    {167, "Motor movo  up success"},
    {169, "Motor movo  down success"},
    {170, "Motor movo  down failed"},
    {171, "Stop motor move vertical success"},
    {172, "Stop motor move vertical failed"},
    {173, "Code success"},
    {174, "Code failed"},
    {180, "Check device success"},
    {181, "Check device failed"},
    {182, "Modify password success"},
    {183, "Modify password failed"},
};

// Camera action acknowledgements (extended reply 0x1007) by action code.
const char* pszCameraActionKey(std::uint32_t action) {
    switch (action) {
        case 0:
            return "AF stop cmd";
        case 3:
            return "Focus Near";
        case 4:
            return "Focus Far";
        case 5:
            return "ZOOM OUT";
        case 6:
            return "ZOOM IN";
        case 7:
            return "Up";
        case 8:
            return "Down";
        case 9:
            return "Left";
        case 10:
            return "Right";
        case 11:
            return "Start the calibration";
        default:
            return nullptr;
    }
}

// Lines of the default configuration item kinds (reply 25).
const char* pszConfigItemKey(int kind) {
    switch (kind) {
        case 0:
            return "Change the default safe password is successful";
        case 1:
            return "Change the default user password is successful";
        case 2:
            return "Change the default sound volume is successful";
        case 3:
            return "modify default push notify on success";
        case 4:
            return "modify default push notify off success";
        case 6:
            return "Modify the custom configuration success";
        default:
            return nullptr;
    }
}

// Result code of a reply whose parameter byte carries its status.
int iStatusCode(std::uint8_t type, std::uint8_t param) {
    struct CStatus {
        std::uint8_t m_byType;
        std::uint8_t m_byOk;
        int m_iOk;
        int m_iFail;
    };
    constexpr CStatus kStatuses[] = {
        {kCmdGetMotorTimer, 0x99, 153, 154}, {kCmdGetMotorPos, 0x9D, 157, 158},
        {kCmdZeroMotorPos, 0x9F, 159, 160},  {kCmdMotorRight, 0xA1, 161, 42},
        {kCmdMotorLeft, 0xA3, 163, 43},      {kCmdMotorStopHoriz, 0xA5, 165, 44},
        {kCmdMotorVertical, 0xA7, 167, 45},  {46, 0xA9, 169, 170},
        {kCmdMotorStopVert, 0xAB, 171, 172},
    };
    for (const CStatus& status : kStatuses) {
        if (status.m_byType == type) {
            return param == status.m_byOk ? status.m_iOk : status.m_iFail;
        }
    }
    return type;
}

}  // namespace

std::optional<std::string> strResultLine(int code, const CDevInfo& devInfo, bool wifiConnected) {
    switch (code) {
        case 105:
        case 115:
        case 132:
        case 144:
            return std::string();
        case 124:
        case 125:
            return "\r\ndev uid:" + devInfo.m_strUid + " ip:" + devInfo.m_strIp + " " +
                   strTranslate(code == 124 ? "连接wifi成功" : "连接wifi失败");
        case 166:
            return "\r\nuid:" + devInfo.m_strUid + " ip:" + devInfo.m_strIp + " " +
                   strTranslate(wifiConnected ? "Connect wifi success" : "Connect wifi failed");
        case 4134:
            return "\r\n" + strTranslate("file name err");
        default:
            break;
    }
    for (const CResultKey& entry : kResultKeys) {
        if (entry.m_iCode == code) {
            return "\r\n" + devInfo.m_strIp + " " + strTranslate(entry.m_pszKey);
        }
    }
    return std::nullopt;
}

void CStation::vOnDatagram(std::span<const std::uint8_t> data, const CEndpoint& from) {
    vParseLanInfo(data, from.m_uiAddr);
}

void CStation::vOnAnnouncement(std::span<const std::uint8_t> data, const CEndpoint& from) {
    vParseIpcToNvrInfo(data, from.m_uiAddr);
}

void CStation::PrintLog(const std::string& text) {
    m_view.vAppendResult(text);
}

void CStation::PrintLogKey(const std::string& key) {
    PrintLog("\r\n" + strTranslate(key));
}

void CStation::PrintLogKey(const std::string& key, const std::string& addressText) {
    PrintLog("\r\n" + addressText + " " + strTranslate(key));
}

void CStation::PrintLogKey(const std::string& key, std::uint32_t addrNet) {
    PrintLogKey(key, strIpText(addrNet));
}

void CStation::vShowCmdResult(std::uint32_t addrNet, int code) {
    CDevInfo devInfo;
    const bool found = addrNet == 0 ? m_registry.fgGetCurrDevInfo(devInfo)
                                    : m_registry.fgGetDevInfoByIp(devInfo, addrNet);
    if (!found) {
        return;
    }
    bool wifiConnected = false;
    {
        std::lock_guard guard(m_stateLock);
        wifiConnected = m_fgWifiConnected;
    }
    const std::optional<std::string> line = strResultLine(code, devInfo, wifiConnected);
    if (!line) {
        return;
    }
    PrintLog(*line);
    if (code == kReplyWifiStatus) {
        m_view.vShowWifiResult(*line);
    }
}

void CStation::vParseLanInfo(std::span<const std::uint8_t> datagram, std::uint32_t senderNet) {
    const CReply reply(datagram);
    const std::uint8_t type = reply.byAt(kCmdOffCode);
    const std::uint8_t param = reply.byAt(kCmdOffParam);
    const std::uint16_t payloadLen = reply.usAt(kCmdOffPayloadLen);
    int code = type;

    switch (type) {
        case kReplyUpgradeFileCheck:
            code = param == 0x68   ? 104
                   : param == 0x69 ? 105
                   : param == 0x83 ? 131
                   : param == 0x84 ? 132
                                   : 3;
            break;
        case kReplyUpgradeReceived:
            PrintLogKey("dev recv upg req", senderNet);
            break;
        case kCmdSetDefaultFlags:
            if (param == 0) {
                PrintLogKey("Change the default configuration is successful", senderNet);
            }
            break;
        case kCmdSetConfigItem:
            if (param == 0) {
                int kind = -1;
                {
                    std::lock_guard guard(m_stateLock);
                    kind = m_iConfigItemKind;
                }
                if (const char* key = pszConfigItemKey(kind)) {
                    PrintLogKey(key, senderNet);
                }
            }
            break;
        case kCmdExtended:
            vParseDevInfo(datagram, senderNet);
            break;
        case kCmdGetMotorTimer:
            if (param == 0x99) {
                m_view.vFillMotorTimer(reply.byAt(16), reply.byAt(17));
            }
            code = iStatusCode(type, param);
            break;
        case kCmdGetMotorPos:
            if (param == 0x9D) {
                m_view.vFillMotorPos(reply.usAt(16), reply.usAt(18));
            }
            code = iStatusCode(type, param);
            break;
        case kCmdZeroMotorPos:
        case kCmdMotorRight:
        case kCmdMotorLeft:
        case kCmdMotorStopHoriz:
        case kCmdMotorVertical:
        case 46:
        case kCmdMotorStopVert:
            code = iStatusCode(type, param);
            break;
        case kCmdControl: {
            PrintLogKey("send key success", senderNet);
            bool macPending = false;
            {
                std::lock_guard guard(m_stateLock);
                macPending = std::exchange(m_fgMacRequestPending, false);
            }
            if (macPending) {
                PrintLogKey("update eth mac success,After the restart to take effect", senderNet);
            }
            break;
        }
        case kCmdSensorTest:
            m_view.vSensorTestEnable();
            vSensorResult(datagram, false);
            break;
        case kCmdPowerCalibration:
            vSensorResult(datagram, true);
            break;
        case kCmdGetFlip:
            if (param <= 3) {
                m_view.vSetFlip(param);
            }
            break;
        case kCmdGetDayNight:
            if (param <= 2) {
                m_view.vSetDayNight(param);
            }
            break;
        case kReplyDiscovery:
            if (iQueueDiscoveryReply(m_discoveryQueue, datagram, senderNet) == 0) {
                m_view.vOnDiscoveryQueued();
            }
            return;
        case kReplyLearnOk:
            m_view.vSensorLearnDone(true, reply.uiAt(52));
            break;
        case kReplyLearnFailed:
            m_view.vSensorLearnDone(false, 0);
            break;
        case kReplySetUidOk: {
            int successes = 0;
            std::string uid;
            {
                std::lock_guard guard(m_stateLock);
                successes = ++m_iSetUidSuccess;
                uid = m_strLastUid;
            }
            if (successes % kSetUidRefreshEvery == 0) {
                m_view.vRequestRefresh();
            } else {
                m_sender.iSendUdpToDev(senderNet, bufBuildSearch());
            }
            PrintLog("\r\n" + strIpText(senderNet) + " " + strTranslate("Set uid success") + " " +
                     uid);
            break;
        }
        case kReplySetUidFailed:
        case kReplySetVideoParamFailed:
        case kReplyWifiNetOk:
        case kReplyWifiNetFailed:
        case kReplyPasswordOk:
        case kReplyPasswordFailed:
            m_view.vRequestRefresh();
            break;
        case kReplyMakeUpgradeFile:
            PrintLogKey("generate flash bin success", senderNet);
            break;
        case kReplyVideoParam:
            if (payloadLen == 16) {
                m_view.vFillVideoParams(
                    {reply.uiAt(16), reply.uiAt(20), reply.uiAt(24), reply.uiAt(28)});
            }
            break;
        case kReplyMakeUpgradeFile2:
            PrintLogKey("generate flash bin fail", senderNet);
            break;
        case kReplyMakeUpgradeFile3:
            PrintLogKey("dev no sd card", senderNet);
            break;
        case kReplyConfigText: {
            const auto bytes = reply.spanAt(16, payloadLen);
            std::string text(bytes.begin(), bytes.end());
            std::replace(text.begin(), text.end(), '\0', ' ');
            m_view.vShowConfigText(text);
            break;
        }
        case kReplySensorList: {
            constexpr std::size_t kEntryBytes = 40;
            // The number of entries is header byte 4 (0 to 255).
            const std::size_t claimed = reply.byAt(4);
            const std::size_t received = reply.size() > 16 ? (reply.size() - 16) / kEntryBytes : 0;
            std::vector<std::array<std::uint8_t, kEntryBytes>> entries;
            for (std::size_t i = 0; i < std::min(claimed, received); ++i) {
                entries.push_back(reply.arrAt<kEntryBytes>(16 + i * kEntryBytes));
            }
            m_view.vSensorList(entries);
            break;
        }
        case kReplyWifiStatus:
            vWifiResult(datagram, senderNet);
            return;
        case kReplyLearned:
            m_view.vOpenSensorNameDialog(strIpText(senderNet).substr(0, 19));
            break;
        case kReplyLoginOk:
            vLoginReply(datagram, senderNet, true);
            break;
        case kReplyLoginRefused:
            if (m_registry.iListSelect() != -1) {
                vLoginReply(datagram, senderNet, false);
            }
            break;
        case kReplyLogText:
            if (payloadLen < 1024) {
                const auto text = reply.spanAt(16, payloadLen);
                m_view.vShowLogText(std::string(text.begin(), text.end()));
            } else {
                vDbgPrint("camkit:err:%s, %d=>len err1\r\n", "CclientDlg::vParseLanInfo", __LINE__);
            }
            break;
        case kReplyAbility:
            vAbilityReply(datagram, senderNet);
            break;
        default:
            break;
    }
    vShowCmdResult(senderNet, code);
}

void CStation::vSensorResult(std::span<const std::uint8_t> datagram, bool calibration) {
    const CReply reply(datagram);
    if (reply.byAt(kCmdOffParam) == 1) {
        m_view.vShowMessage(strTranslate("Test failed"));
        return;
    }
    std::array<std::uint8_t, 56> result = reply.arrAt<56>(16);
    const std::string name = strLocalName(std::span(result).first(32), 31);
    std::fill_n(result.begin(), 32, std::uint8_t{0});
    std::copy_n(name.begin(), std::min<std::size_t>(name.size(), 31), result.begin());
    m_view.vSensorResult(result, calibration);
}

void CStation::vLoginReply(std::span<const std::uint8_t> datagram, std::uint32_t senderNet,
                           bool accepted) {
    const CReply reply(datagram);
    if (accepted) {
        vDbgPrint("camkit:%s, %d=>recv login ret info,ip:%s\r\n", "CclientDlg::vParseLanInfo",
                  __LINE__, strIpText(senderNet).c_str());
        m_registry.vSetDevLoginState(senderNet, kLoginAccepted);
    }
    m_view.vSetDetectorFlags(reply.byAt(13) == 1, reply.byAt(14) == 1, reply.byAt(15) == 1);

    constexpr std::size_t kWifiEntryBytes = 36;
    constexpr std::size_t kWifiListOffset = 20;
    const std::uint16_t claimed = reply.usAt(16);
    const auto connected = static_cast<std::int16_t>(reply.usAt(18));
    if (connected <= 0) {
        m_view.vSetWifiStatus({});
    }
    // Only the entries the datagram really holds are read.
    const std::size_t received =
        reply.size() > kWifiListOffset ? (reply.size() - kWifiListOffset) / kWifiEntryBytes : 0;
    const std::size_t count = std::min<std::size_t>(claimed, received);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = kWifiListOffset + i * kWifiEntryBytes;
        const std::string ssid = strLocalName(reply.spanAt(entry + 4, 32), 127);
        m_view.vAddWifiRow(ssid, reply.usAt(entry + 2), reply.byAt(entry));
        if (static_cast<int>(i) + 1 == connected) {
            m_view.vSetWifiStatus(ssid);
        }
    }
    if (!accepted) {
        m_registry.vSetDevLoginState(senderNet, kLoginRefused);
    }
}

void CStation::vWifiResult(std::span<const std::uint8_t> datagram, std::uint32_t senderNet) {
    const CReply reply(datagram);
    const std::string ssid = strLocalName(reply.spanAt(16, 32), 127);
    // The receive thread cannot wait for a login reply (it is the thread that would
    // receive it), so the selected device counts as logged in only when it already is.
    CDevInfo selected;
    std::string selectedIp = "0.0.0.0";
    if (m_registry.fgGetCurrDevInfo(selected) && selected.m_iLoginState == kLoginAccepted) {
        selectedIp = selected.m_strIp;
    }
    bool stopPoll = false;
    {
        std::lock_guard guard(m_stateLock);
        if (m_uiWifiPollAddr == senderNet) {
            m_iWifiPollCountdown = 0;
            stopPoll = true;
        }
        m_fgWifiConnected = selectedIp == strIpText(senderNet);
    }
    if (stopPoll) {
        m_view.vStopWifiPoll();
    }
    if (selectedIp == strIpText(senderNet)) {
        m_view.vSetWifiStatus(ssid);
    }
    vShowCmdResult(senderNet, kReplyWifiStatus);
}

void CStation::vAbilityReply(std::span<const std::uint8_t> datagram, std::uint32_t senderNet) {
    const auto ability = sParseDevAbility(datagram);
    if (!ability || !m_registry.fgSetDevAbility(senderNet, *ability)) {
        return;
    }
    CDevInfo selected;
    if (!m_registry.fgGetCurrDevInfo(selected) || selected.m_uiIpAddr != senderNet) {
        return;
    }
    std::string text;
    if (fgAbilityFullView(*ability)) {
        text = strTranslate("fullview dev");
    }
    if (fgAbilityGateway(*ability)) {
        text = text + " " + strTranslate("Gateway Dev");
    }
    m_view.vSetDeviceTypeText(text);
}

void CStation::vParseDevInfo(std::span<const std::uint8_t> datagram, std::uint32_t senderNet) {
    const CReply reply(datagram);
    switch (reply.uiAt(kCmdOffWordB)) {
        case kExtUnsupported:
            vDbgPrint("camkit:%s, %d=>cmd=%d no support\r\n", "CclientDlg::vParseDevInfo", __LINE__,
                      static_cast<int>(reply.uiAt(kCmdOffWordA)));
            break;
        case kExtKeyFuncs:
            m_view.vShowKeyFunctions(
                {reply.uiAt(16), reply.uiAt(20), reply.uiAt(24), reply.uiAt(28)});
            break;
        case kExtKeyFuncsSaved:
            PrintLogKey("save key config info success", senderNet);
            vSendExtCmd({}, kExtGetKeyFuncs);
            m_view.vRefreshDefaultConfig();
            break;
        case kExtCameraActionAck: {
            const std::uint32_t action = reply.uiAt(16);
            const char* key = pszCameraActionKey(action);
            if (key == nullptr) {
                break;
            }
            if (action == 11) {
                {
                    std::lock_guard guard(m_stateLock);
                    m_fgCalibrating = true;
                    m_uiCalibrationAddr = senderNet;
                }
                m_view.vStartCalibrationTimer();
            }
            PrintLogKey(key, senderNet);
            if (reply.uiAt(20) != 0) {
                vDbgPrint("camkit:%s, %d=>af cmd fail, %d\r\n", "CclientDlg::vParseDevInfo",
                          __LINE__, static_cast<int>(action));
            }
            break;
        }
        default:
            break;
    }
}

void CStation::vParseIpcToNvrInfo(std::span<const std::uint8_t> datagram, std::uint32_t senderNet) {
    const char* name = "CclientDlg::vParseIpcToNvrInfo";
    if (datagram.size() < 24) {
        vDbgPrint("camkit:%s, %d=>len err\r\n", name, __LINE__);
        return;
    }
    if (datagram[0] != 0x68) {
        vDbgPrint("camkit:%s, %d=>start byte err\r\n", name, __LINE__);
        return;
    }
    const std::uint32_t type = uiReadLe32(datagram, 4);
    const bool loginRequest = type == 7 || type == 10 || type == 93 || type == 94;
    if (!loginRequest || uiReadLe32(datagram, 12) < 12) {
        return;
    }
    vDbgPrint("camkit:%s, %d=>dev %s req login\r\n", name, __LINE__, strIpText(senderNet).c_str());
    m_sender.iSendUdpToDev(senderNet, bufBuildSearch());
}
