#include "protocol/dev_cmd_feature.h"

#include "app/log.h"
#include "protocol/cmd_header.h"
#include "protocol/station.h"

namespace {

// Statuses of an upgrade file check on the SD card (reply 3) and their result codes.
constexpr int kUpgradeCheckOk = 104;
constexpr int kUpgradeCheckNone = 105;
constexpr int kUpgradeCheckFailed = 131;
constexpr int kUpgradeCheckBad = 132;

int iUpgradeCheckCode(std::uint8_t status) {
    switch (status) {
        case 0x68:
            return kUpgradeCheckOk;
        case 0x69:
            return kUpgradeCheckNone;
        case 0x83:
            return kUpgradeCheckFailed;
        case 0x84:
            return kUpgradeCheckBad;
        default:
            return kReplyUpgradeFileCheck;
    }
}

}  // namespace

CDevCmdFeature::CDevCmdFeature(CStation& station) : m_station(station) {
    for (const std::uint8_t type :
         {kReplyUpgradeFileCheck, kReplyUpgradeReceived, kReplyFormatSdOk, kReplyWiredNetOk,
          kReplyWiredNetFailed, kReplyRestart, kReplyFactoryReset, kReplySetUidOk,
          kReplySetUidFailed, kReplyMakeUpgradeFile, kReplyMakeUpgradeFile2, kReplyWifiNetOk,
          kReplyWifiNetFailed, kReplyMakeUpgradeFile3, kReplyVersionFailed, kReplyPasswordOk,
          kReplyPasswordFailed}) {
        station.router().vRoute(type, *this);
    }
    station.router().vRouteExt(kExtUnsupported, *this);
}

int CDevCmdFeature::iOnReply(const CReplyReader& reply, std::uint32_t senderNet) {
    const std::uint8_t type = reply.byType();
    switch (type) {
        case kCmdExtended:
            KLOG_INFO("cmd=%d no support", static_cast<int>(reply.uiAt(kCmdOffWordA)));
            return kNoResult;
        case kReplyUpgradeFileCheck:
            return iUpgradeCheckCode(reply.byParam());
        case kReplyUpgradeReceived:
            m_station.vReport(sAddrResult(senderNet, "dev recv upg req", type));
            break;
        case kReplySetUidOk: {
            int successes = 0;
            std::string uid;
            {
                std::lock_guard guard(m_lock);
                successes = ++m_iSetUidSuccess;
                uid = m_strLastUid;
            }
            if (successes % kSetUidRefreshEvery == 0) {
                m_station.view().vRequestRefresh();
            } else {
                m_station.sender().iSendUdpToDev(senderNet, bufBuildSearch());
            }
            CCmdResult result = sAddrResult(senderNet, "Set uid success", type);
            result.m_eForm = EResultForm::kAddrTextValue;
            result.m_strValue = uid;
            m_station.vReport(result);
            break;
        }
        case kReplySetUidFailed:
        case kReplyWifiNetOk:
        case kReplyWifiNetFailed:
        case kReplyPasswordOk:
        case kReplyPasswordFailed:
            m_station.view().vRequestRefresh();
            break;
        case kReplyMakeUpgradeFile:
            m_station.vReport(sAddrResult(senderNet, "generate flash bin success", type));
            break;
        case kReplyMakeUpgradeFile2:
            m_station.vReport(sAddrResult(senderNet, "generate flash bin fail", type));
            break;
        case kReplyMakeUpgradeFile3:
            m_station.vReport(sAddrResult(senderNet, "dev no sd card", type));
            break;
        default:
            break;
    }
    return type;
}

bool CDevCmdFeature::fgFormatSd() {
    std::string ip;
    return m_station.fgSelectDevIsLogin(&ip) && m_station.fgSendToDev(ip, bufBuildFormatSd());
}

bool CDevCmdFeature::fgModifyPassword(const std::string& newPassword) {
    std::string ip;
    return m_station.fgSelectDevIsLogin(&ip) &&
           m_station.fgSendToDev(ip, bufBuildChangePassword(newPassword));
}

bool CDevCmdFeature::fgMakeUpgradeFile() {
    CDevInfo devInfo;
    if (!m_station.fgSelectDevIsLogin() || !m_station.registry().fgGetCurrDevInfo(devInfo)) {
        return false;
    }
    return m_station.sender().iSendUdpToDev(devInfo.m_uiIpAddr, bufBuildMakeUpgradeFile()) == 0;
}

bool CDevCmdFeature::fgSetUid(const std::string& uid) {
    CDevInfo devInfo;
    if (!m_station.registry().fgGetCurrDevInfo(devInfo)) {
        return false;
    }
    {
        std::lock_guard guard(m_lock);
        m_strLastUid = uid;
    }
    return m_station.fgSendToDev(devInfo.m_strIp, bufBuildSetUid(uid));
}

int CDevCmdFeature::iSetUidSuccessCount() const {
    std::lock_guard guard(m_lock);
    return m_iSetUidSuccess;
}
