#pragma once

#include <QObject>
#include <memory>
#include <optional>
#include <vector>

#include "check/check_result.h"
#include "history/history_recorder.h"
#include "history/history_settings.h"
#include "history/job_records.h"
#include "protocol/cmd_result.h"

class CclientDlg;

// The window's device history: its settings ("history.ini" in the station's writable
// folder), the recorder that writes the window's jobs and forwards them in the
// background, and the result pane line that says how many records wait for the
// shared server. One per window, a child of it (windowHistory finds or makes it).
// UI thread only.
class CWindowHistory : public QObject {
    Q_OBJECT

  public:
    explicit CWindowHistory(CclientDlg& window);
    ~CWindowHistory() override;

    const CHistorySettings& settings() const { return m_settings; }
    // The store's configuration the settings give (the default file when they are
    // wrong; the pane says so).
    CHistoryConfig config() const;
    CJobContext context() const;
    // Saves the settings and records with them from now on. False with the reason.
    bool fgApply(const CHistorySettings& settings, std::string& error);

    // Records the rows of a line check run.
    void vRecordCheck(const std::vector<CDeviceCheck>& rows);
    // Records the verdicts of an upgrade run; the files are described (SHA-256) on the
    // recorder's thread.
    void vRecordUpgrade(const std::vector<CUpgDeviceResult>& devices);
    // Records the outcome of a setting command that the reply result ended, for device
    // as the station knew it then (without: the UID the result names).
    void vRecordSetting(const CCmdResult& result, const CSettingReply& setting,
                        const std::optional<CDevInfo>& device);

  private:
    void vStartRecorder();
    void vOnReport(const CRecorderReport& report);

    CclientDlg& m_window;
    std::string m_strPath;
    CHistorySettings m_settings;
    std::unique_ptr<CHistoryRecorder> m_recorder;
    long long m_llShownWaiting = 0;
    std::string m_strShownError;
};

// The window's history, made on first use.
CWindowHistory& windowHistory(CclientDlg& window);
