#include "ui/window_history.h"

#include <QMetaObject>
#include <optional>

#include "app/settings.h"
#include "net/socket_layer.h"
#include "protocol/station.h"
#include "ui/client_dlg.h"
#include "ui/dialog_text.h"

CWindowHistory::CWindowHistory(CclientDlg& window)
    : QObject(&window),
      m_window(window),
      m_strPath(CSettings::instance().m_strWritableDir + kHistorySettingsFile),
      m_settings(sLoadHistorySettings(m_strPath)) {
    setObjectName(QStringLiteral("windowHistory"));
    vStartRecorder();
}

CWindowHistory::~CWindowHistory() = default;

CHistoryConfig CWindowHistory::config() const {
    std::string error;
    const std::string localPath = CSettings::instance().m_strWritableDir + kHistoryFileName;
    return sParseHistoryDb(m_settings.m_dbs, localPath, error)
        .value_or(CHistoryConfig{localPath, {}});
}

CJobContext CWindowHistory::context() const {
    return {m_settings.m_strStation.empty() ? strDefaultStationName() : m_settings.m_strStation,
            m_settings.m_strOperator};
}

bool CWindowHistory::fgApply(const CHistorySettings& settings, std::string& error) {
    if (!sParseHistoryDb(settings.m_dbs, {}, error) ||
        !fgSaveHistorySettings(m_strPath, settings, error)) {
        return false;
    }
    m_settings = settings;
    vStartRecorder();
    return true;
}

void CWindowHistory::vStartRecorder() {
    // The old recorder writes what it still holds before the new one starts.
    m_recorder.reset();
    m_recorder =
        std::make_unique<CHistoryRecorder>(config(), [this](const CRecorderReport& report) {
            QMetaObject::invokeMethod(
                this, [this, report] { vOnReport(report); }, Qt::QueuedConnection);
        });
}

void CWindowHistory::vRecordCheck(const std::vector<CDeviceCheck>& rows) {
    std::vector<CDeviceRecord> records;
    const CJobContext who = context();
    for (const CDeviceCheck& row : rows) {
        records.push_back(sCheckRecord(who, row));
    }
    if (!records.empty()) {
        m_recorder->vRecord(std::move(records));
    }
}

void CWindowHistory::vRecordUpgrade(const std::vector<CUpgDeviceResult>& devices) {
    // The MAC only the station's list knows, taken now on the UI thread.
    std::vector<std::optional<CDevInfo>> known;
    for (const CUpgDeviceResult& result : devices) {
        std::uint32_t addr = 0;
        CDevInfo device;
        const bool found = m_window.pStation() != nullptr && fgParseIp(result.m_strDevice, addr) &&
                           m_window.pStation()->registry().fgGetDevInfoByIp(device, addr);
        known.push_back(found ? std::optional<CDevInfo>(device) : std::nullopt);
    }
    m_recorder->vRecordLater([who = context(), devices, known] {
        std::vector<CDeviceRecord> records;
        for (std::size_t i = 0; i < devices.size(); ++i) {
            const CUpgDeviceResult& result = devices[i];
            records.push_back(sUpgradeRecord(who, result, known[i] ? &*known[i] : nullptr,
                                             vecDescribeFiles(result.m_files)));
        }
        return records;
    });
}

void CWindowHistory::vRecordSetting(const CCmdResult& result, const CSettingReply& setting,
                                    const std::optional<CDevInfo>& device) {
    CDeviceRecord record = sJobRecord(context(), setting.m_strKind, strIpText(result.m_uiAddr),
                                      device ? &*device : nullptr);
    if (!device) {
        record.m_strUid = result.m_strUid;
    }
    record.m_eOutcome = setting.m_eOutcome;
    // What the device took, when its reply says (the new UID).
    record.m_strReason = result.m_strValue;
    m_recorder->vRecord({std::move(record)});
}

void CWindowHistory::vOnReport(const CRecorderReport& report) {
    // One line when what waits or what went wrong changes, not one per retry.
    if (report.m_llWaiting == m_llShownWaiting && report.m_strError == m_strShownError) {
        return;
    }
    m_llShownWaiting = report.m_llWaiting;
    m_strShownError = report.m_strError;
    QString line = strTrKey("History: %1 records wait for the server").arg(report.m_llWaiting);
    if (!report.m_strError.empty()) {
        line +=
            QStringLiteral(" (") + QString::fromStdString(report.m_strError) + QStringLiteral(")");
    }
    m_window.PrintLog(QStringLiteral("\r\n") + line);
}

CWindowHistory& windowHistory(CclientDlg& window) {
    if (auto* history = window.findChild<CWindowHistory*>(QStringLiteral("windowHistory"),
                                                          Qt::FindDirectChildrenOnly)) {
        return *history;
    }
    // Owned by the window as its child.
    return *(new CWindowHistory(window));
}
