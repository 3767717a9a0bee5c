#include "ui/client_dlg.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QEventLoop>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QThread>
#include <QUrl>
#include <functional>

#include "app/log.h"
#include "app/settings.h"
#include "app/translate.h"
#include "protocol/lan_station.h"
#include "protocol/station.h"
#include "ui/about_dlg.h"
#include "ui/dev_list_commands.h"
#include "ui/device_list_model.h"
#include "ui/device_list_view.h"
#include "ui/discovery_pump.h"
#include "ui/dlg_line_check.h"
#include "ui/main_controls.h"
#include "ui/ownerdraw_tab_ctrl.h"
#include "ui/page_refresher.h"
#include "ui/pages/dlg_setting.h"
#include "ui/pages/dlg_video.h"
#include "ui/pages/page_table.h"
#include "ui/result_pane.h"
#include "ui/search_progress.h"
#include "ui/text_fit.h"
#include "ui/ui_helpers.h"
#include "ui/upgrade_commands.h"
#include "ui/wifi_poller.h"
#include "ui/window_font.h"

namespace {
constexpr int kIntervalMaxChars = 9;
constexpr int kDoubleClickUntickDelayMs = 10;

constexpr int kPasswordListMax = 20;

// Reports every left button press on a widget of the application; changes nothing.
class CClickWatcher : public QObject {
  public:
    explicit CClickWatcher(std::function<void(QWidget&)> onPress) : m_onPress(std::move(onPress)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            if (auto* widget = qobject_cast<QWidget*>(watched); widget != nullptr) {
                m_onPress(*widget);
            }
        }
        return false;
    }

  private:
    std::function<void(QWidget&)> m_onPress;
};

QString strQ(const std::string& text) {
    return QString::fromStdString(text);
}
QString strKey(const char* key) {
    return strQ(strTranslate(key));
}

static_assert(kPageTableSize == kPageCount, "the window shows every page of the table");
}  // namespace

int iParseInterval(const QString& text) {
    const QString head = text.left(kIntervalMaxChars).trimmed();
    int digits = 0;
    while (digits < head.size() && head.at(digits).isDigit() && head.at(digits).unicode() < 0x80) {
        ++digits;
    }
    return head.left(digits).toInt();
}

CclientDlg::CclientDlg(CLanStation* lan, CStation* station,
                       std::optional<std::vector<CInterfaceAddr>> interfaces, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      m_pLan(lan),
      m_pStation(station),
      m_interfaces(std::move(interfaces)),
      m_pwdStore(CSettings::instance().m_strWritableDir),
      m_strCurrPassword(QString::fromLatin1(kDefaultDevPassword.data(),
                                            static_cast<qsizetype>(kDefaultDevPassword.size()))) {
    setObjectName(QStringLiteral("CclientDlg"));
    vCreateControls();
    m_pPump = new CDiscoveryPump(m_pStation, this);
    m_pWifiPoller = new CWifiPoller(m_pStation, this);
    m_pProgressDriver = new CSearchProgress(*m_pProgress, m_pStation, this);
    connect(m_pProgressDriver, &CSearchProgress::sigSearchDone, this, &CclientDlg::sigSearchDone);
    m_pRefresher = new CPageRefresher(
        [this](ETabRefresh cause) {
            const int tab = m_pTabCtrl->iGetCurSel();
            if (cause == ETabRefresh::kDelayed) {
                pPage(tab)->vTabRefresh(cause);
            } else {
                vOnTabSelChange(tab, cause);
            }
        },
        this);
    m_pCommands = new CDevListCommands(*this, m_pStation);
    m_pUpgrade = new CUpgradeCommands(*this, m_pStation);
    vCreatePages();
    vConnectSignals();
    setWindowTitle(strMainCaption());
    if (m_pStation != nullptr) {
        m_pStation->registry().vSetObserver(this);
    }
}

CclientDlg::~CclientDlg() {
    if (m_clickWatcher) {
        qApp->removeEventFilter(m_clickWatcher.get());
    }
    if (m_pStation != nullptr) {
        m_pStation->registry().vSetObserver(nullptr);
        m_pStation->vSetLoginWait(nullptr);
    }
    KLOG_INFO("exit");
}

void CclientDlg::vCreatePages() {
    const CPageContext context{m_pTabCtrl, m_pStation, CSettings::instance().m_strWritableDir};
    const QSignalBlocker blocker(m_pTabCtrl);
    for (std::size_t tab = 0; tab < m_pages.size(); ++tab) {
        const CPageDef& def = pageTable()[tab];
        m_pages[tab] = def.m_pfnMake(context);
        if (m_pStation != nullptr) {
            m_attachments.push_back(def.m_pfnAttach(*m_pages[tab], *m_pStation));
        }
        m_pTabCtrl->iInsertItem(strKey(def.m_pszCaption));
    }
    m_pSetting = new CDlgSetting(this, m_pStation);
    m_pSetting->hide();
    vFitToText();
    for (std::size_t tab = 0; tab < m_pages.size(); ++tab) {
        CScaledPage* page = m_pages[tab];
        page->setGeometry(m_pTabCtrl->rectPage());
        page->vRecordLayout();
        page->vSkipNextResize();
        page->setVisible(static_cast<int>(tab) == kTabLiveView);
    }
    m_pTabCtrl->vSetCurSel(kTabLiveView);
}

void CclientDlg::vConnectSignals() {
    connect(m_pTabCtrl, &COwnerdrawTabCtrl::sigSelChange, this,
            [this](int tab) { vOnTabSelChange(tab, ETabRefresh::kTabChange); });
    connect(m_pDevList, &CDevListView::sigRowClicked, this, &CclientDlg::vOnRowClicked);
    connect(m_pDevList, &CDevListView::sigRowDoubleClicked, this, &CclientDlg::vOnRowDoubleClicked);
    connect(m_pDevList, &CDevListView::sigRowRightClicked, m_pCommands,
            &CDevListCommands::vOnDevListRightClick);
    connect(m_pWifiList, &CWifiListView::sigRowRightClicked, m_pCommands,
            &CDevListCommands::vOnWifiRightClick);
    connect(m_pWifiList, &CWifiListView::sigRowDoubleClicked, m_pCommands,
            &CDevListCommands::vOnWifiDoubleClick);
    m_pResultPane->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_pResultPane, &QWidget::customContextMenuRequested, m_pCommands,
            &CDevListCommands::vOnResultPaneMenu);
    connect(qobject_cast<QPushButton*>(pControl(kIdcFormat)), &QPushButton::clicked, m_pCommands,
            &CDevListCommands::vFormat);
    connect(qobject_cast<QPushButton*>(pControl(kIdcUpgrade)), &QPushButton::clicked, m_pUpgrade,
            &CUpgradeCommands::vOnUpgradeButton);
    connect(m_pDevListModel, &CDevListModel::sigCheckClicked, this, &CclientDlg::vOnCheckClicked);
    connect(m_pDevList, &CDevListView::sigHeaderClicked, this, [this](int column) {
        if (m_pStation != nullptr) {
            m_pStation->vSortByColumn(column);
        }
    });
    connect(qobject_cast<QPushButton*>(pControl(kIdcRefreshList)), &QPushButton::clicked, this,
            &CclientDlg::vRefresh);
    connect(m_pSelectAll, &QCheckBox::clicked, this, [this](bool ticked) {
        if (m_pStation != nullptr) {
            m_pStation->vSelectAll(ticked);
        }
    });
    connect(qobject_cast<QPushButton*>(pControl(kIdcClearPool)), &QPushButton::clicked, this,
            [this] {
                if (m_pStation != nullptr) {
                    m_pStation->registry().iDevPoolDelete(-1, true);
                }
            });
    connect(qobject_cast<QPushButton*>(pControl(kIdcFilterButton)), &QPushButton::clicked, this,
            &CclientDlg::vOnFilter);
    connect(m_pFilterEdit, &QLineEdit::textChanged, this, &CclientDlg::vOnFilter);
    connect(qobject_cast<QLineEdit*>(pControl(kIdcPasswordEdit)), &QLineEdit::textChanged, this,
            [this](const QString& text) {
                if (m_pStation != nullptr) {
                    m_pStation->vSetPassword(text.toStdString());
                }
            });
}

void CclientDlg::vSetUpgrader(CUpgrader* upgrader) {
    m_pUpgrade->vSetUpgrader(upgrader);
}

void CclientDlg::vInitDialog() {
    int listed = 0;
    for (const std::string& saved : m_pwdStore.vecEntries()) {
        if (listed++ == kPasswordListMax) {
            break;
        }
        m_acPasswordEdit.vAddItem(strQ(saved));
    }
    // Every left click in the window, before the clicked control sees it.
    m_clickWatcher = std::make_unique<CClickWatcher>([this](QWidget& clicked) {
        QWidget* password = pControl(kIdcPasswordEdit);
        if (clicked.window() == this && &clicked != password && !password->isAncestorOf(&clicked)) {
            vTakePassword();
        }
    });
    qApp->installEventFilter(m_clickWatcher.get());
    if (m_pStation != nullptr) {
        m_pStation->vSetPassword(std::string(kDefaultDevPassword));
        // The login check's short waits keep the window alive: painting, timers and
        // the station's queued calls go on; the operator's input waits.
        m_pStation->vSetLoginWait([](int waitMs) {
            QEventLoop loop;
            QTimer::singleShot(waitMs, &loop, &QEventLoop::quit);
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        });
    }
    if (m_pLan != nullptr && !m_pLan->fgStart(m_interfaces)) {
        vMessageBoxTipsOk(nullptr, strKey(kSocketInitFailText));
        vMessageBoxTipsOk(this, strKey("Socket init failed!"));
    }
    show();
    if (const QScreen* display = screen(); display != nullptr) {
        move(display->availableGeometry().center() - rect().center());
    }
    vRecordLayout();
    vRefresh();
}

void CclientDlg::vTakePassword() {
    const QString text =
        qobject_cast<QLineEdit*>(pControl(kIdcPasswordEdit))->text().left(kPasswordMaxChars);
    if (text == m_strCurrPassword) {
        return;
    }
    KLOG_INFO("save");
    m_strCurrPassword = text;
    if (m_pwdStore.vSave(text.toStdString()) == 0) {
        m_acPasswordEdit.vAddItem(text);
    }
    setFocus();
}

QTimer& CclientDlg::timer(EDlgTimer dlgTimer) const {
    switch (dlgTimer) {
        case EDlgTimer::kProgress:
            return m_pProgressDriver->searchTimer();
        case EDlgTimer::kWifiPoll:
            return m_pWifiPoller->timer();
        case EDlgTimer::kTabRefresh:
            return m_pRefresher->delayedTimer();
        case EDlgTimer::kSort:
            return m_pPump->sortTimer();
        case EDlgTimer::kSearchAgain:
            return m_pPump->searchAgainTimer();
        case EDlgTimer::kDrain:
            return m_pPump->drainTimer();
        case EDlgTimer::kCalibration:
            break;
    }
    return m_pProgressDriver->calibrationTimer();
}

bool CclientDlg::fgTimerActive(EDlgTimer dlgTimer) const {
    return timer(dlgTimer).isActive();
}

int CclientDlg::iTimerPeriodMs(EDlgTimer dlgTimer) const {
    return timer(dlgTimer).interval();
}

void CclientDlg::vSetTimerPeriod(EDlgTimer dlgTimer, int periodMs) {
    timer(dlgTimer).setInterval(periodMs);
}

int CclientDlg::iCalibrationState() const {
    return m_pProgressDriver->iCalibrationState();
}

void CclientDlg::vStartCalibration() {
    m_pProgressDriver->vStartCalibration();
}

void CclientDlg::vOnDiscoveryQueued() {
    m_pPump->vOnQueued();
}

void CclientDlg::vStartWifiPoll() {
    m_pWifiPoller->vStart();
}

void CclientDlg::vStopWifiPoll() {
    m_pWifiPoller->vStop();
}

void CclientDlg::vRefresh() {
    if (m_pStation != nullptr && m_pStation->registry().iListSelect() != -1) {
        // The stop waits for the stream's threads; the button takes no click meanwhile.
        QWidget* refresh = pControl(kIdcRefreshList);
        refresh->setEnabled(false);
        qobject_cast<CDlgVideo*>(pPage(kTabLiveView))->StopPlayVideo();
        refresh->setEnabled(true);
    }
    if (m_pStation != nullptr) {
        m_pStation->registry().vSetListSelect(-1);
    }
    // The networks a device saw belong to that device: none is selected now.
    m_pWifiList->vClear();
    const int seconds = iParseInterval(m_pIntervalEdit->text());
    if (seconds < kIntervalMin || seconds > kIntervalMax) {
        vMessageBoxTipsOk(this, strKey("Please input currect seconds"));
        return;
    }
    m_pProgressDriver->vStartSearch();
    if (m_pStation != nullptr) {
        m_pStation->discovery().vRefresh();
    }
    m_pPump->vOnSearchStarted();
}

void CclientDlg::vOpenLineCheck() {
    if (!m_lineCheck) {
        m_lineCheck = std::make_unique<CDlgLineCheck>(*this);
    }
    m_lineCheck->show();
    m_lineCheck->raise();
    m_lineCheck->activateWindow();
}

void CclientDlg::PrintLog(const QString& text) {
    m_pResultPane->vAppend(text);
}

void CclientDlg::vAddWifiRow(const QString& ssid, int intensity, int encryption) {
    m_pWifiList->vAddRow(ssid, intensity, encryption);
}

void CclientDlg::vSetWifiStatus(const QString& ssid) {
    m_pWifiStatus->setText(ssid.isEmpty() ? strKey("Not connected")
                                          : strKey("Connected Wifi:  ") + ssid);
}

void CclientDlg::vSetDeviceTypeText(const QString& text) {
    m_pDeviceKind->setText(text);
}

bool CclientDlg::fgDeferredOffUiThread() {
    if (QThread::currentThread() == thread()) {
        return false;
    }
    // A registry change made on another thread: show the registry whole once the UI
    // thread runs, from the registry's state at that time.
    QMetaObject::invokeMethod(
        this, [this] { vOnRowsReset(); }, Qt::QueuedConnection);
    return true;
}

void CclientDlg::vOnRowsReset() {
    if (m_pStation == nullptr || fgDeferredOffUiThread()) {
        return;
    }
    std::vector<CDevListRow> rows;
    for (const CDevInfo& devInfo : m_pStation->registry().vecActiveView()) {
        rows.push_back(sDevListRow(devInfo));
    }
    m_pDevListModel->vResetRows(std::move(rows));
    vOnPoolChanged();
    vOnSelectionChanged(m_pStation->registry().iListSelect());
}

void CclientDlg::vOnRowAppended(int row) {
    if (m_pStation == nullptr || fgDeferredOffUiThread()) {
        return;
    }
    const std::optional<CDevInfo> devInfo = m_pStation->registry().sRow(row);
    if (!devInfo || row != m_pDevListModel->rowCount()) {
        // The list has drifted from the registry: show it whole again.
        vOnRowsReset();
        return;
    }
    m_pDevListModel->vAppendRow(sDevListRow(*devInfo));
}

void CclientDlg::vOnRowUpdated(int row) {
    if (m_pStation == nullptr || fgDeferredOffUiThread()) {
        return;
    }
    if (const std::optional<CDevInfo> devInfo = m_pStation->registry().sRow(row)) {
        m_pDevListModel->vUpdateRow(row, sDevListRow(*devInfo));
    }
}

void CclientDlg::vOnPoolChanged() {
    if (m_pStation == nullptr || fgDeferredOffUiThread()) {
        return;
    }
    m_pDevListModel->vSetChecked(m_pStation->registry().vecPool());
    m_pPoolPane->vSetText(strQ(m_pStation->registry().strPoolPaneText()));
}

void CclientDlg::vOnSelectionChanged(int row) {
    if (!fgDeferredOffUiThread()) {
        m_pDevList->vShowSelectedRow(row);
    }
}

void CclientDlg::vOnRowClicked(int row) {
    m_pSelectAll->setChecked(false);
    if (row < 0 || m_pStation == nullptr) {
        return;
    }
    const std::optional<CDevInfo> devInfo = m_pStation->sSelectRow(row);
    if (!devInfo) {
        return;
    }
    m_pDeviceKind->clear();
    m_pWifiList->vClear();
    m_pSdCardLabel->setText(strQ(strSdCardText(devInfo->m_uiSdFigure1, devInfo->m_uiSdFigure2)));
    for (CScaledPage* page : m_pages) {
        page->vOnDeviceChosen(EDevChoice::kRowClick, *devInfo);
    }
    m_pRefresher->vOnRowClicked();
}

void CclientDlg::vOnCheckClicked(int row, bool checked) {
    // A click on a check box is a click on its row: "Select/deselect" no longer holds.
    m_pSelectAll->setChecked(false);
    if (m_pStation == nullptr) {
        return;
    }
    m_pStation->vToggleRowCheck(row, checked);
    // The registry decides: a row without a record stays unticked.
    vOnPoolChanged();
}

void CclientDlg::vOnRowDoubleClicked(int row) {
    if (m_pStation == nullptr) {
        return;
    }
    m_pStation->registry().vSetListSelect(-1);
    QTimer::singleShot(kDoubleClickUntickDelayMs, this,
                       [this] { m_pSelectAll->setChecked(false); });
    KLOG_INFO("db client;item id=%d", row);
    if (row < 0) {
        return;
    }
    m_pStation->registry().vSetListSelect(row);
    if (const std::optional<CDevInfo> devInfo = m_pStation->registry().sRow(row)) {
        pPage(kTabLiveView)->vOnDeviceChosen(EDevChoice::kDoubleClick, *devInfo);
    }
}

void CclientDlg::vOnFilter() {
    if (m_pStation == nullptr) {
        return;
    }
    const bool filtering =
        m_pStation->registry().fgApplyFilter(m_pFilterEdit->text().toStdString());
    m_pSelectAll->setChecked(filtering);
}

void CclientDlg::vOnTabSelChange(int tab, ETabRefresh cause) {
    if (tab < 0 || tab >= kPageCount) {
        return;
    }
    for (CScaledPage* page : m_pages) {
        page->hide();
    }
    pPage(tab)->show();
    if (cause == ETabRefresh::kTabChange) {
        pPage(tab)->vFocusFirstInput();
    }
    if (tab == kTabMotor && (m_pStation == nullptr || m_pStation->registry().iListSelect() < 0)) {
        vShowChooseDevTips();
        return;
    }
    pPage(tab)->vTabRefresh(cause);
}

void CclientDlg::vShowChooseDevTips() {
    vMessageBoxTipsOk(this, strKey("Please choose a device"));
}

void CclientDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            vOnOK();
            return;
        case Qt::Key_Escape:
            vOnCancel();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void CclientDlg::accept() {
    vOnOK();
}

void CclientDlg::reject() {
    vOnCancel();
}

void CclientDlg::vOnOK() {
    // Enter belongs to the page in view: the live view's video starts or stops only
    // while the operator can see it.
    if (const int tab = m_pTabCtrl->iGetCurSel(); tab >= 0 && tab < kPageCount) {
        pPage(tab)->vOnEnterKey();
    }
}

void CclientDlg::vOnCancel() {
    pPage(kTabLiveView)->vOnEscapeKey();
}

void CclientDlg::closeEvent(QCloseEvent* event) {
    // Only the close box ends the window (Enter and Escape never do).
    done(QDialog::Rejected);
    event->accept();
}

void CclientDlg::vShowAbout() {
    CAboutDlg about(this);
    about.exec();
}

bool CclientDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pControl(kIdcTimeInterval)) {
        if (event->type() == QEvent::MouseButtonDblClick) {
            KLOG_INFO("########");
            if (m_pStation != nullptr) {
                m_pStation->registry().vPrintDevInfo();
            }
            emit sigRegistryDumped();
        } else if (event->type() == QEvent::MouseButtonPress) {
            KLOG_INFO("1111111");
        }
    } else if (watched == pControl(kIdcAutoRefresh) &&
               event->type() == QEvent::MouseButtonDblClick) {
        KLOG_INFO("db click");
        QDesktopServices::openUrl(
            QUrl::fromLocalFile(QString::fromStdString(CSettings::instance().m_strWritableDir)));
    }
    return QDialog::eventFilter(watched, event);
}
