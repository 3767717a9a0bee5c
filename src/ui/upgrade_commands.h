#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <vector>

#include "upgrade/upgrade_view.h"
#include "upgrade/upgrader.h"

class CclientDlg;
class CStation;
class QDialog;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTableWidget;

// Asks the operator for the file of a one-file upgrade command: the chosen path, or an
// empty text when cancelled.
using FChooseUpgFile = std::function<QString(QWidget* owner)>;
// Asks for the files of the "Upgrade" button and of "others": the chosen paths in the
// dialog's order, or none when cancelled.
using FChooseUpgFiles = std::function<QStringList(QWidget* owner)>;

// The platform's open dialogs: one existing file, or several.
QString strChooseUpgFile(QWidget* owner);
QStringList strsChooseUpgFiles(QWidget* owner);

// The window's firmware upgrade: the "Upgrade" button and the "Send file" entries of
// the device list's menu choose the files and start them for every device of the pool;
// the upgrade panel shows each device's progress (read from the upgrader a few times a
// second while a run goes on) and the run's summary, and holds the settings of the
// next run: devices per wave, failures after which no device is started, and the
// version the devices must come back with (and how long to wait for them). "Retry
// failed" starts the last run's failed devices again. Result lines reach the result
// pane through the upgrade bridge. UI thread only.
class CUpgradeCommands : public QObject {
    Q_OBJECT

  public:
    // How often the panel reads the devices' progress.
    static constexpr int kProgressPeriodMs = 250;

    // window owns this object; station may be null (nothing is ever sent then).
    CUpgradeCommands(CclientDlg& window, CStation* station);

    // The upgrader the commands start (nullptr: the commands only choose files). It
    // must outlive this object or be unset first.
    void vSetUpgrader(CUpgrader* upgrader) { m_pUpgrader = upgrader; }
    void vSetFileChoosers(FChooseUpgFile one, FChooseUpgFiles many);

    // "Upgrade": a selected device is needed ("Please choose a device"); then files of
    // any type, classified by their paths.
    void vOnUpgradeButton();
    // An upgrade command: requestedType is a type code (one file of that type, or up
    // to eight "others" files) or kUpgTypeByPath. Targets: the pool's devices.
    void vUpgrade(int requestedType);
    // Starts the failed devices of the last run again; false when there was none or a
    // run still goes on.
    bool fgRetryFailed();
    // True when the last run has ended with a device that did not succeed.
    bool fgCanRetry() const;
    // Shows the panel (its settings apply to the next run).
    void vOpenPanel();
    // The plan the next run gets from the panel's settings (defaults without a panel).
    CUpgPlan sNextPlan() const;
    // Sets the panel's settings, as the operator would (tests).
    void vSetPanelPlan(const CUpgPlan& plan);

    // The last transfer of a run has ended (the upgrade bridge brings the summary).
    void vOnSummary(const CUpgSummary& summary);

    // The panel, for tests: nullptr until the first run.
    QDialog* pPanel() const { return m_pPanel; }
    // The text of one cell of the panel's table (row in address order).
    QString strPanelCell(int row, int column) const;
    int iPanelRows() const;

  private:
    void vShowPanel();
    void vMakePanel();
    void vRefreshPanel();

    CclientDlg& m_window;
    CStation* m_pStation;
    CUpgrader* m_pUpgrader = nullptr;
    FChooseUpgFile m_chooseOne;
    FChooseUpgFiles m_chooseMany;
    QTimer m_progressTimer;
    QPointer<QDialog> m_pPanel;
    QTableWidget* m_pTable = nullptr;
    QLabel* m_pSummary = nullptr;
    QSpinBox* m_pWave = nullptr;
    QSpinBox* m_pStopAfter = nullptr;
    QLineEdit* m_pExpectVersion = nullptr;
    QSpinBox* m_pVerifySeconds = nullptr;
};
