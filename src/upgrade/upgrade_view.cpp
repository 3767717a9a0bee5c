#include "upgrade/upgrade_view.h"

#include "app/translate.h"

namespace {

std::string strAddrLine(const std::string& device, const std::string& key) {
    return "\r\n" + device + " " + strTranslate(key);
}

}  // namespace

CUpgEvent sUpgEvent(EUpgEvent kind, std::string device) {
    CUpgEvent event;
    event.m_eEvent = kind;
    event.m_strDevice = std::move(device);
    return event;
}

std::string strUpgEventLine(const CUpgEvent& event) {
    switch (event.m_eEvent) {
        case EUpgEvent::kConnected:
            return (event.m_fgByListener ? "\r\n" : "\r\ndev ") + event.m_strDevice + " " +
                   strTranslate("Connected");
        case EUpgEvent::kTimeout:
            return "\r\ndev " + event.m_strDevice + " " + strTranslate("update timeout");
        case EUpgEvent::kHeadNotSent:
            return strAddrLine(event.m_strDevice, "Send updgrade info failed");
        case EUpgEvent::kFileSent:
            return "\r\n" + event.m_strDevice + " " + strTranslate("send ") +
                   strTranslate(strUpgTypeKey(event.m_uiType)) + strTranslate("success");
        case EUpgEvent::kDeviceOk:
            return "\r\nrecv dev resp," + event.m_strDevice + " " + strTranslate("Upgrade success");
        case EUpgEvent::kDeviceFailed:
            return strAddrLine(event.m_strDevice, "Send file failed");
        case EUpgEvent::kUpgradeFailed:
            return strAddrLine(event.m_strDevice, "Upgrade failed");
        case EUpgEvent::kFileRejected:
            return "\r\n" + strTranslate("file name err");
        case EUpgEvent::kBusy:
            return strAddrLine(event.m_strDevice, "Upgrade already running");
    }
    return {};
}

std::string strUpgReasonKey(EUpgReason reason) {
    switch (reason) {
        case EUpgReason::kNone:
            return {};
        case EUpgReason::kConnectTimeout:
            return "update timeout";
        case EUpgReason::kFileUnreadable:
            return "file unreadable";
        case EUpgReason::kHeadNotSent:
            return "Send updgrade info failed";
        case EUpgReason::kSendFailed:
            return "connection stalled or failed";
        case EUpgReason::kDeviceClosed:
            return "device closed the connection";
        case EUpgReason::kDeviceRefused:
            return "Send file failed";
        case EUpgReason::kStopped:
            return "stopped";
    }
    return {};
}

std::string strUpgOutcomeName(EUpgOutcome outcome) {
    switch (outcome) {
        case EUpgOutcome::kRunning:
            return "running";
        case EUpgOutcome::kSucceeded:
            return "succeeded";
        case EUpgOutcome::kFailed:
            return "failed";
        case EUpgOutcome::kNoAnswer:
            return "no answer";
    }
    return {};
}

std::string strUpgSummaryLine(const CUpgSummary& summary) {
    std::string text = "\r\n" + strTranslate("Upgrade:") + " " +
                       std::to_string(summary.m_iSucceeded) + " " + strTranslate("succeeded") +
                       ", " + std::to_string(summary.m_iFailed) + " " + strTranslate("failed") +
                       ", " + std::to_string(summary.m_iNoAnswer) + " " + strTranslate("no answer");
    for (const CUpgDeviceResult& device : summary.m_devices) {
        if (device.m_eOutcome == EUpgOutcome::kSucceeded) {
            continue;
        }
        text += "\r\n  " + device.m_strDevice + " " +
                strTranslate(strUpgOutcomeName(device.m_eOutcome));
        const std::string reason = strUpgReasonKey(device.m_eReason);
        if (!reason.empty()) {
            text += ": " + strTranslate(reason);
        }
    }
    return text;
}
