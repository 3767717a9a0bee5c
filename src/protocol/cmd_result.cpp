#include "protocol/cmd_result.h"

#include <utility>

#include "app/shown_text.h"
#include "app/translate.h"
#include "net/socket_layer.h"
#include "protocol/cmd_header.h"

namespace {

struct CResultKey {
    int m_iCode;
    const char* m_pszKey;
};

// Codes whose line is "<address> <message>".
constexpr CResultKey kResultKeys[] = {
    {kCmdStartLog, "Send start print log command"},
    {kCmdStopLog, "Send stop print log command"},
    {104, "Check updgrade file in SD card success"},
    {kReplyFormatSdOk, "Format SD card success"},
    {kReplyLearnOk, "Code success"},
    {kReplyLearnFailed, "Code failed"},
    {kReplyWiredNetOk, "Setting cable network parameters successfully"},
    {kReplyWiredNetFailed, "Setting cable network parameters failed"},
    {kReplyRestart, "To restart"},
    {kReplyFactoryReset, "Began to recover the factory"},
    {kReplySetUidFailed, "Set uid failed"},
    {kReplyVideoParam, "Get video param success"},
    {kReplyVideoParamFailed, "Get video param failed"},
    {kReplySetVideoParamOk, "Set video param success"},
    {kReplySetVideoParamFailed, "Set video param failed"},
    {131, "Check updgrade file in SD card failed"},
    {kReplyWifiNetOk, "Set wifi success"},
    {kReplyWifiNetFailed, "Set wifi failed"},
    {kReplyVersionFailed, "Get version failed"},
    {kReplySensorList, "Query sensor success"},
    {kReplySensorListFailed, "Query sensor failed"},
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
    {kReplyLearned, "Code success"},
    {kReplyLearnedFailed, "Code failed"},
    {kReplyLoginOk, "Check device success"},
    {kReplyLoginRefused, "Check device failed"},
    {kReplyPasswordOk, "Modify password success"},
    {kReplyPasswordFailed, "Modify password failed"},
};

}  // namespace

CCmdResult sAddrResult(std::uint32_t addrNet, std::string key, int code) {
    CCmdResult result;
    result.m_uiAddr = addrNet;
    result.m_strAddr = strIpText(addrNet);
    result.m_strKey = std::move(key);
    result.m_iCode = code;
    return result;
}

CCmdResult sTextResult(std::string key, int code) {
    CCmdResult result;
    result.m_eForm = EResultForm::kText;
    result.m_strKey = std::move(key);
    result.m_iCode = code;
    return result;
}

std::optional<CCmdResult> sResultOfCode(int code, const CDevInfo& devInfo, bool wifiConnected) {
    CCmdResult result;
    result.m_uiAddr = devInfo.m_uiIpAddr;
    result.m_strAddr = devInfo.m_strIp;
    result.m_strUid = devInfo.m_strUid;
    result.m_iCode = code;
    switch (code) {
        case kReplyWifiJoinOk:
        case kReplyWifiJoinFailed:
            result.m_eForm = EResultForm::kDevUidAddrText;
            result.m_strKey = code == kReplyWifiJoinOk ? "连接wifi成功" : "连接wifi失败";
            return result;
        case kReplyWifiStatus:
            result.m_eForm = EResultForm::kUidAddrText;
            result.m_strKey = wifiConnected ? "Connect wifi success" : "Connect wifi failed";
            return result;
        case kResultFileNameErr:
            result.m_eForm = EResultForm::kText;
            result.m_strKey = "file name err";
            return result;
        default:
            break;
    }
    for (const CResultKey& entry : kResultKeys) {
        if (entry.m_iCode == code) {
            result.m_strKey = entry.m_pszKey;
            return result;
        }
    }
    return std::nullopt;
}

std::string strFormatResult(const CCmdResult& result) {
    const std::string text = strTranslate(result.m_strKey);
    switch (result.m_eForm) {
        case EResultForm::kAddrText:
            return result.m_strAddr + " " + text;
        case EResultForm::kText:
            return text;
        case EResultForm::kAddrTextValue:
            return result.m_strAddr + " " + text + " " + strShownText(result.m_strValue);
        case EResultForm::kUidAddrText:
            return "uid:" + strShownText(result.m_strUid) + " ip:" + result.m_strAddr + " " + text;
        case EResultForm::kDevUidAddrText:
            return "dev uid:" + strShownText(result.m_strUid) + " ip:" + result.m_strAddr + " " +
                   text;
    }
    return text;
}
