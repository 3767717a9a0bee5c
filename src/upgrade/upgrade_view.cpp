#include "upgrade/upgrade_view.h"

#include "app/shown_text.h"
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
        case EUpgReason::kDeviceReset:
            return "connection reset";
        case EUpgReason::kUnconfirmed:
            return "device did not confirm";
        case EUpgReason::kDeviceRefused:
            return "Send file failed";
        case EUpgReason::kStopped:
            return "stopped";
        case EUpgReason::kNotStarted:
            return "not started";
        case EUpgReason::kNoWorker:
            return "no thread for the transfer";
        case EUpgReason::kVersionMismatch:
            return "wrong version after the upgrade";
        case EUpgReason::kDidNotComeBack:
            return "did not come back";
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
        case EUpgOutcome::kNotStarted:
            return "not started";
    }
    return {};
}

std::string strUpgPhaseName(EUpgPhase phase) {
    switch (phase) {
        case EUpgPhase::kWaiting:
            return "waiting";
        case EUpgPhase::kContacting:
            return "contacting";
        case EUpgPhase::kSending:
            return "sending";
        case EUpgPhase::kConfirming:
            return "confirming";
        case EUpgPhase::kVerifying:
            return "verifying";
        case EUpgPhase::kEnded:
            return "ended";
    }
    return {};
}

std::string strGroupedNumber(std::uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string grouped;
    grouped.reserve(digits.size() + digits.size() / 3);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) {
            grouped += ',';
        }
        grouped += digits[i];
    }
    return grouped;
}

std::string strUpgReasonText(const CUpgDeviceResult& device) {
    const std::string sent = strGroupedNumber(device.m_ulBytesSent) + " " + strTranslate("of") +
                             " " + strGroupedNumber(device.m_ulBytesTotal) + " " +
                             strTranslate("bytes");
    switch (device.m_eReason) {
        case EUpgReason::kDeviceClosed:
            return strTranslate("device closed after") + " " + sent + " " +
                   strTranslate("without confirming");
        case EUpgReason::kDeviceReset:
            return strTranslate("connection reset after") + " " + sent + " " +
                   strTranslate("without confirming");
        case EUpgReason::kSendFailed:
            return strTranslate("connection stalled or failed after") + " " + sent;
        case EUpgReason::kUnconfirmed:
            return strTranslate("device silent after the last of") + " " +
                   strGroupedNumber(device.m_ulBytesTotal) + " " + strTranslate("bytes");
        case EUpgReason::kDeviceRefused:
            return strTranslate("device answered RECVFILE FAILED");
        case EUpgReason::kVersionMismatch:
            return strTranslate("came back with version") + " " +
                   strShownText(device.m_strVersionAfter) + ", " + strTranslate("expected") + " " +
                   device.m_strVersionExpected;
        default:
            return strTranslate(strUpgReasonKey(device.m_eReason));
    }
}

std::string strUpgStateLine(const CUpgDeviceResult& device) {
    std::string line = device.m_strDevice + " ";
    switch (device.m_ePhase) {
        case EUpgPhase::kSending:
            line += strTranslate("sending") + " " + std::to_string(device.m_files.size()) + " " +
                    strTranslate(device.m_files.size() == 1 ? "file" : "files") +
                    (device.m_fgByListener ? " (" + strTranslate("device called in") + ")" : "");
            break;
        case EUpgPhase::kConfirming:
            line += strTranslate("sent") + " " + strGroupedNumber(device.m_ulBytesSent) + " " +
                    strTranslate("bytes") + ", " + strTranslate("waiting for confirmation");
            break;
        case EUpgPhase::kVerifying:
            line += strTranslate("confirmed") + ", " + strTranslate("waiting for version") + " " +
                    device.m_strVersionExpected;
            break;
        case EUpgPhase::kEnded:
            line += strTranslate(strUpgOutcomeName(device.m_eOutcome));
            if (device.m_eOutcome == EUpgOutcome::kSucceeded) {
                if (!device.m_strVersionAfter.empty()) {
                    line += " (" + strTranslate("version") + " " + device.m_strVersionAfter + ")";
                }
            } else if (device.m_eReason != EUpgReason::kNone &&
                       device.m_eReason != EUpgReason::kNotStarted) {
                line += ": " + strUpgReasonText(device);
            }
            break;
        default:
            line += strTranslate(strUpgPhaseName(device.m_ePhase));
            break;
    }
    return line;
}

std::string strUpgSummaryLine(const CUpgSummary& summary) {
    std::string text = "\r\n" + strTranslate("Upgrade:") + " " +
                       std::to_string(summary.m_iSucceeded) + " " + strTranslate("succeeded") +
                       ", " + std::to_string(summary.m_iFailed) + " " + strTranslate("failed") +
                       ", " + std::to_string(summary.m_iNoAnswer) + " " + strTranslate("no answer");
    if (summary.m_iNotStarted > 0) {
        text += ", " + std::to_string(summary.m_iNotStarted) + " " + strTranslate("not started");
    }
    for (const CUpgDeviceResult& device : summary.m_devices) {
        if (device.m_eOutcome == EUpgOutcome::kSucceeded) {
            continue;
        }
        text += "\r\n  " + device.m_strDevice + " " +
                strTranslate(strUpgOutcomeName(device.m_eOutcome));
        if (device.m_eReason != EUpgReason::kNone && device.m_eReason != EUpgReason::kNotStarted) {
            text += ": " + strUpgReasonText(device);
        }
    }
    return text;
}
