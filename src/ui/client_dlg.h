#pragma once

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "net/lan_interfaces.h"
#include "protocol/dev_registry.h"
#include "ui/ac_edit.h"
#include "ui/dev_pwd_save_info.h"
#include "ui/layout_scale.h"
#include "ui/pages/page_table.h"
#include "ui/scaled_page.h"

class CLanStation;
class CStation;
class CDevListCommands;
class CUpgradeCommands;
class CUpgrader;
class CDlgSetting;
class CDlgLineCheck;
class CDevListModel;
class CDevListView;
class CWifiListView;
class CResultPane;
class CDiscoveryPump;
class CWifiPoller;
class CSearchProgress;
class CPageRefresher;
class COwnerdrawTabCtrl;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// The timers of the window's parts, for tests: each belongs to the part that runs it.
enum class EDlgTimer : int {
    kProgress,     // CSearchProgress, 10 ms: search animation of the progress bar
    kWifiPoll,     // CWifiPoller, 4000 ms: Wi-Fi status queries after a connect request
    kTabRefresh,   // CPageRefresher, 1500 ms, one shot: the page refreshes after a row click
    kSort,         // CDiscoveryPump, 50 ms: sort countdown of the device list
    kSearchAgain,  // CDiscoveryPump, 100 ms, one shot: the search broadcast a second time
    kDrain,        // CDiscoveryPump, 20 ms: discovery replies into the device list
    kCalibration,  // CSearchProgress, 1200 ms: progress of a running calibration
};

// What the interval box holds as a number: the decimal value at the start of its
// first 9 characters after leading blanks (" 3" and "3s" are 3; no digits: 0).
int iParseInterval(const QString& text);

// The tab pages, in tab order.
inline constexpr int kPageCount = 8;
inline constexpr int kTabLiveView = 0;
inline constexpr int kTabDevInfo = 2;
inline constexpr int kTabMotor = 6;

// The main window: device list, Wi-Fi list, tab area with the eight device pages,
// progress bar, device pool pane and result pane. It shows what the station core
// holds and forwards the operator's actions to it; it decides nothing about the
// protocol. The transport and the station belong to the caller and must outlive the
// window; the caller stops the transport before the window is destroyed.
//
// Enter and Escape never close it; only the close box does. UI thread only, except
// where a method says otherwise.
class CclientDlg : public QDialog, public IRegistryObserver {
    Q_OBJECT

  public:
    // lan (the transport with its station, which vInitDialog starts) and station (the
    // station the window shows; lan's own when lan is given) may both be null (a window
    // without devices). interfaces: the local interfaces to open (nullopt: the
    // machine's interface table). The owner of lan stops it before the window goes.
    CclientDlg(CLanStation* lan, CStation* station,
               std::optional<std::vector<CInterfaceAddr>> interfaces, QWidget* parent = nullptr);
    ~CclientDlg() override;

    // Start-up of the window: opens the transport (a failure shows "Socket init
    // failed!" and the window runs on), shows the window centred and runs the first
    // search. Call once, before exec().
    void vInitDialog();

    // Effects the station asks for (UI thread; CStationViewBridge brings them here).
    void PrintLog(const QString& text);
    void vAddWifiRow(const QString& ssid, int intensity, int encryption);
    void vSetWifiStatus(const QString& ssid);
    void vSetDeviceTypeText(const QString& text);
    void vOnDiscoveryQueued();
    void vStopWifiPoll();
    // Starts the Wi-Fi status polling after a connect request: a status query every
    // 4 s until the station reports the polling over (ten queries, or the result).
    void vStartWifiPoll();
    void vStartCalibration();
    // "Refresh List": clears the selection, then searches again unless the interval is
    // not 1 to 4 seconds, which is refused with a box.
    void vRefresh();

    // The proportional layout of the window after a resize, from the layout table.
    void vScaleLayout();

    // The password box's text is saved when the operator clicks anywhere else in the
    // window and it differs from the last one taken: offered to the password store and,
    // when new there, to the box's drop-down list.
    void vTakePassword();

    // Access for the pages and for tests.
    CStation* pStation() const { return m_pStation; }
    QWidget* pControl(int id) const;
    CScaledPage* pPage(int tab) const { return m_pages.at(static_cast<std::size_t>(tab)); }
    COwnerdrawTabCtrl* pTabCtrl() const { return m_pTabCtrl; }
    CDevListModel* pDevListModel() const { return m_pDevListModel; }
    CDevListView* pDevList() const { return m_pDevList; }
    CWifiListView* pWifiList() const { return m_pWifiList; }
    CResultPane* pResultPane() const { return m_pResultPane; }
    CResultPane* pPoolPane() const { return m_pPoolPane; }
    bool fgTimerActive(EDlgTimer timer) const;
    int iTimerPeriodMs(EDlgTimer timer) const;
    // Changes a timer's period. Tests shorten the long ones with it; the program keeps
    // the periods of iDlgTimerPeriodMs.
    void vSetTimerPeriod(EDlgTimer timer, int periodMs);
    CDevListCommands& commands() const { return *m_pCommands; }
    CUpgradeCommands& upgrade() const { return *m_pUpgrade; }
    // The firmware upgrader the window's upgrade commands start (nullptr: none). It
    // must outlive the window or be unset first.
    void vSetUpgrader(CUpgrader* upgrader);
    CDlgSetting* pSettingPage() const { return m_pSetting; }
    int iCalibrationState() const;
    const CDevPwdSaveInfo& pwdStore() const { return m_pwdStore; }
    CACEdit& acPasswordEdit() { return m_acPasswordEdit; }

    // The line check dialog ("Line check..." of the device list's menu): opened on
    // first use and kept, so its settings stay; null before.
    void vOpenLineCheck();
    CDlgLineCheck* pLineCheck() const { return m_lineCheck.get(); }
    // The login replies of the window's transport (its tap), for the line check; null
    // in a window without a transport.

    // IRegistryObserver: keeps the device list, its ticks and the pool pane in step
    // with the registry. A change reported on another thread is shown later on the UI
    // thread, by reading the whole registry again.
    void vOnRowsReset() override;
    void vOnRowAppended(int row) override;
    void vOnRowUpdated(int row) override;
    void vOnPoolChanged() override;
    void vOnSelectionChanged(int row) override;

  signals:
    // The diagnostic dump of the registry was written (a double click on "Time
    // Interval").
    void sigRegistryDumped();
    // A search has run its time (the progress bar is full).
    void sigSearchDone();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  public slots:
    void accept() override;
    void reject() override;

  private:
    static constexpr int kPasswordMaxChars = 31;
    static constexpr int kIntervalMin = 1;
    static constexpr int kIntervalMax = 4;

    void vCreateControls();
    void vCreatePages();
    void vFitToText();
    void vRecordLayout();
    void vPlacePages();
    void vConnectSignals();
    bool fgDeferredOffUiThread();
    QTimer& timer(EDlgTimer timer) const;

    void vOnOK();
    void vOnCancel();
    void vShowAbout();
    void vOnTabSelChange(int tab, ETabRefresh cause);
    void vOnRowClicked(int row);
    void vOnCheckClicked(int row, bool checked);
    void vOnRowDoubleClicked(int row);
    void vOnFilter();
    void vShowChooseDevTips();

    CLanStation* m_pLan;
    CStation* m_pStation;
    std::optional<std::vector<CInterfaceAddr>> m_interfaces;

    std::map<int, QWidget*> m_controls;
    CDevListModel* m_pDevListModel = nullptr;
    CDevListView* m_pDevList = nullptr;
    CWifiListView* m_pWifiList = nullptr;
    CResultPane* m_pResultPane = nullptr;
    CResultPane* m_pPoolPane = nullptr;
    COwnerdrawTabCtrl* m_pTabCtrl = nullptr;
    QProgressBar* m_pProgress = nullptr;
    QCheckBox* m_pSelectAll = nullptr;
    QLineEdit* m_pIntervalEdit = nullptr;
    QLineEdit* m_pFilterEdit = nullptr;
    QLabel* m_pSdCardLabel = nullptr;
    QLabel* m_pDeviceKind = nullptr;
    QLabel* m_pWifiStatus = nullptr;
    std::array<CScaledPage*, kPageCount> m_pages{};
    // The pages' attachments to the station's features; they end before the pages go.
    std::vector<CFeatureAttachment> m_attachments;
    CDlgSetting* m_pSetting = nullptr;  // restart and factory reset; no tab shows it
    CDevListCommands* m_pCommands = nullptr;
    CUpgradeCommands* m_pUpgrade = nullptr;

    CDevPwdSaveInfo m_pwdStore;
    CACEdit m_acPasswordEdit;
    QString m_strCurrPassword;                // the password box's text last taken
    std::unique_ptr<QObject> m_clickWatcher;  // the window's left clicks, for vTakePassword

    // The parts that run the window's timers (children of the window).
    CDiscoveryPump* m_pPump = nullptr;
    CWifiPoller* m_pWifiPoller = nullptr;
    CSearchProgress* m_pProgressDriver = nullptr;
    CPageRefresher* m_pRefresher = nullptr;

    CLayoutRect m_recordedWindow;
    std::vector<std::pair<QPointer<QWidget>, CLayoutRect>> m_layoutTable;

    // Declared after the tap: its running check is stopped and joined first.
    std::unique_ptr<CDlgLineCheck> m_lineCheck;
};
