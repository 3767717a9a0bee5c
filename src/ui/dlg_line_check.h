#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/worker.h"
#include "check/check_result.h"
#include "check/expected_bench.h"
#include "check/line_check.h"
#include "check/line_check_run.h"

class CclientDlg;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

// The line check of the main window (non-modal): the expected bench (a count or a CSV
// file of UIDs / MACs, optional), the expected version, the steps, the devices checked
// at once and the report folder; Start / Stop, a progress bar of the devices done and a
// status line; "Open report" once a report is written.
//
// The check runs on every ticked device of the list or, when none is ticked, on every
// listed device, on a thread of the dialog (the core's CLineCheckRun, which also writes
// the report; its login uses a socket of its own, so nothing shows in the window's lists
// because a device was checked); its progress comes
// back onto the UI thread. Each finished device marks its row in the list; at the end
// the result pane gets the summary line and, with an expected bench, the comparison.
// After every search of the window the found devices are compared with the expected
// bench too. Closing the dialog or the window stops a running check and waits for it
// (at most one step's own time limit), and so does the dialog's destruction.
//
// UI thread only.
class CDlgLineCheck : public QDialog {
    Q_OBJECT

  public:
    // The steps a check offers (the search step always runs).
    static constexpr std::array<ECheckStep, 8> kSteps{
        ECheckStep::kLogin, ECheckStep::kUid,   ECheckStep::kVersion, ECheckStep::kSd,
        ECheckStep::kWifi,  ECheckStep::kVideo, ECheckStep::kAudio,   ECheckStep::kHorn};

    explicit CDlgLineCheck(CclientDlg& window);
    ~CDlgLineCheck() override;
    CDlgLineCheck(const CDlgLineCheck&) = delete;
    CDlgLineCheck& operator=(const CDlgLineCheck&) = delete;

    // Starts a check with the dialog's settings; false (the reason in the status line)
    // when a setting is wrong, nothing is listed or a check is running.
    bool fgStart();
    // Asks a running check to stop; its end is reported as usual.
    void vStop();
    // The same, and waits for the check's thread (the check ends within one step's own
    // time limit once stopped; its report is written by then).
    void vStopAndWait();
    bool fgRunning() const { return m_worker.fgRunning(); }

    // The controls, for tests and the README's pictures.
    QLineEdit* pExpectEdit() const { return m_pExpect; }
    QLineEdit* pVersionEdit() const { return m_pVersion; }
    QLineEdit* pReportEdit() const { return m_pReportBase; }
    QCheckBox* pStepBox(ECheckStep step) const;
    QSpinBox* pParallelBox() const { return m_pParallel; }
    QPushButton* pStartButton() const { return m_pStart; }
    QPushButton* pOpenReportButton() const { return m_pOpenReport; }
    QProgressBar* pProgress() const { return m_pProgress; }
    QLabel* pStatus() const { return m_pStatus; }
    // The folder of the last report written, or empty.
    const QString& strReportFolder() const { return m_strReportFolder; }

  private:
    // The expected bench of the settings: nullopt with no error when none is set.
    std::optional<CExpectedBench> sExpectedBench(std::string& error) const;
    // Compares the listed devices with the expected bench: marks the unexpected ones
    // and returns the summary lines (empty without an expected bench).
    std::string strCompareWithBench(const std::optional<CExpectedBench>& expected);
    void vOnSearchDone();
    void vOnDeviceDone(const CDeviceCheck& row, int done, int total);
    void vOnRunEnded(const CLineCheckRunEnd& end);
    // Each line of text on a line of its own in the result pane.
    void vPrintLines(const QString& text);
    void vChooseBenchFile();
    void vChooseReportBase();
    void vOpenReport();
    void vSetRunning(bool running);

    CclientDlg& m_window;
    QLineEdit* m_pExpect = nullptr;
    QLineEdit* m_pVersion = nullptr;
    std::array<QCheckBox*, kSteps.size()> m_stepBoxes{};
    QSpinBox* m_pParallel = nullptr;
    QLineEdit* m_pReportBase = nullptr;
    QPushButton* m_pStart = nullptr;
    QPushButton* m_pStop = nullptr;
    QPushButton* m_pOpenReport = nullptr;
    QProgressBar* m_pProgress = nullptr;
    QLabel* m_pStatus = nullptr;
    QString m_strReportFolder;
    QString m_strBenchText;  // the comparison of the running check

    std::unique_ptr<CLineCheckRun> m_run;  // the running check
    std::unique_ptr<ICheckProgress> m_relay;
    CWorker m_worker;  // runs m_run; stopped before the run goes
};
