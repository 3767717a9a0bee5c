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
#include <QScreen>
#include <QThread>
#include <QUrl>
#include <functional>

#include "app/dbg_print.h"
#include "app/settings.h"
#include "app/translate.h"
#include "protocol/lan_station.h"
#include "protocol/station.h"
#include "ui/about_dlg.h"
#include "ui/dev_list_commands.h"
#include "ui/device_list_model.h"
#include "ui/device_list_view.h"
#include "ui/dlg_line_check.h"
#include "ui/main_controls.h"
#include "ui/ownerdraw_tab_ctrl.h"
#include "ui/pages/dlg_dev_info.h"
#include "ui/pages/dlg_dev_version.h"
#include "ui/pages/dlg_log.h"
#include "ui/pages/dlg_motor.h"
#include "ui/pages/dlg_sensor.h"
#include "ui/pages/dlg_set_uid.h"
#include "ui/pages/dlg_setting.h"
#include "ui/pages/dlg_video.h"
#include "ui/pages/dlg_video_param.h"
#include "ui/result_pane.h"
#include "ui/ui_helpers.h"
#include "ui/upgrade_commands.h"
#include "ui/window_font.h"

namespace {
constexpr int kFirstTimerId = 2;
constexpr int kProgressMax = 100;
constexpr int kIntervalMaxChars = 9;
constexpr int kIntervalMin = 1;
constexpr int kIntervalMax = 4;
constexpr int kRowClickRefreshDelayMs = 30;
constexpr int kDoubleClickUntickDelayMs = 10;
constexpr int kTabLog = 7;
constexpr const char* kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

constexpr int kPasswordMaxChars = 31;
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

CLayoutRect sToLayoutRect(const QRect& rect) {
    return CLayoutRect{rect.left(), rect.top(), rect.left() + rect.width(),
                       rect.top() + rect.height()};
}

QRect sToQRect(const CLayoutRect& rect) {
    return QRect(rect.m_iLeft, rect.m_iTop, rect.iWidth(), rect.iHeight());
}

std::size_t uTimerSlot(EDlgTimer timer) {
    return static_cast<std::size_t>(static_cast<int>(timer) - kFirstTimerId);
}

bool fgOneShot(EDlgTimer timer) {
    return timer == EDlgTimer::kTabRefresh || timer == EDlgTimer::kSearchAgain ||
           timer == EDlgTimer::kLiveRestart;
}

// The tabs in order: caption key and page.
struct CTabDef {
    const char* m_pszCaption;
};
constexpr std::array<CTabDef, kPageCount> kTabs{{{"A/V Test"},
                                                 {"Modify UID"},
                                                 {"Device Info"},
                                                 {"Device Version"},
                                                 {"Video Parameters"},
                                                 {"Sensor management"},
                                                 {"Motor Control"},
                                                 {"Log"}}};
}  // namespace

int iDlgTimerPeriodMs(EDlgTimer timer) {
    switch (timer) {
        case EDlgTimer::kProgress:
            return 10;
        case EDlgTimer::kWifiPoll:
            return 4000;
        case EDlgTimer::kTabRefresh:
            return 1500;
        case EDlgTimer::kSort:
            return 50;
        case EDlgTimer::kSearchAgain:
            return 100;
        case EDlgTimer::kDrain:
            return 20;
        case EDlgTimer::kLiveRestart:
            return 10;
        case EDlgTimer::kCalibration:
            return 1200;
    }
    return 0;
}

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
    for (int id = kFirstTimerId; id < kFirstTimerId + static_cast<int>(m_timers.size()); ++id) {
        const auto timerId = static_cast<EDlgTimer>(id);
        QTimer& dlgTimer = timer(timerId);
        dlgTimer.setInterval(iDlgTimerPeriodMs(timerId));
        dlgTimer.setSingleShot(fgOneShot(timerId));
        connect(&dlgTimer, &QTimer::timeout, this, [this, timerId] { vTimerTick(timerId); });
    }
    vCreateControls();
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
    for (QTimer& dlgTimer : m_timers) {
        dlgTimer.stop();
    }
    if (m_pStation != nullptr) {
        m_pStation->registry().vSetObserver(nullptr);
        m_pStation->vSetLoginWait(nullptr);
        m_pStation->videoParam().vSetView(nullptr);
        m_pStation->motor().vSetView(nullptr);
    }
    vDbgPrint("camkit:%s, %d=>exit\r\n", "CclientDlg::~CclientDlg", __LINE__);
}

void CclientDlg::vCreateControls() {
    const QFontMetrics templateMetrics(sTemplateFont());
    const CDialogUnits units =
        sDialogUnitsFromFont(templateMetrics.horizontalAdvance(QString::fromLatin1(kAlphabet)),
                             templateMetrics.height());
    const CLayoutRect client =
        sDialogRectToPixels(0, 0, kMainDlgWidthDlu, kMainDlgHeightDlu, units);
    resize(client.iWidth(), client.iHeight());

    m_pDevListModel = new CDevListModel(this);
    for (const CControlDef& def : kMainControls) {
        QString caption;
        if (def.m_pszCaption != nullptr) {
            caption = def.m_fgTranslate ? strKey(def.m_pszCaption)
                                        : QString::fromLatin1(def.m_pszCaption);
        }
        QWidget* control = nullptr;
        switch (def.m_eKind) {
            case ECtlKind::kGroupBox:
                control = new QGroupBox(caption, this);
                break;
            case ECtlKind::kLabel:
                control = new QLabel(caption, this);
                break;
            case ECtlKind::kEdit:
            case ECtlKind::kPasswordEdit:
                control = new QLineEdit(this);
                break;
            case ECtlKind::kCheckBox:
                control = new QCheckBox(caption, this);
                break;
            case ECtlKind::kPushButton: {
                auto* button = new QPushButton(caption, this);
                // Enter belongs to the window (vOnOK), never to a button.
                button->setAutoDefault(false);
                button->setDefault(false);
                control = button;
                break;
            }
            case ECtlKind::kProgress:
                m_pProgress = new QProgressBar(this);
                m_pProgress->setRange(0, kProgressMax);
                m_pProgress->setValue(0);
                m_pProgress->setTextVisible(false);
                control = m_pProgress;
                break;
            case ECtlKind::kDevList:
                m_pDevList = new CDevListView(this, m_pDevListModel);
                control = m_pDevList;
                break;
            case ECtlKind::kWifiList:
                m_pWifiList = new CWifiListView(this);
                control = m_pWifiList;
                break;
            case ECtlKind::kTab:
                m_pTabCtrl = new COwnerdrawTabCtrl(this);
                control = m_pTabCtrl;
                break;
            case ECtlKind::kPoolPane:
                m_pPoolPane = new CResultPane(this);
                control = m_pPoolPane;
                break;
            case ECtlKind::kResultPane:
                m_pResultPane = new CResultPane(this);
                m_pResultPane->vSetText(caption);
                control = m_pResultPane;
                break;
        }
        control->setObjectName(QString::number(def.m_iId));
        control->setGeometry(
            sToQRect(sDialogRectToPixels(def.m_iX, def.m_iY, def.m_iW, def.m_iH, units)));
        m_controls.emplace(def.m_iId, control);
    }
    m_pSelectAll = qobject_cast<QCheckBox*>(pControl(kIdcSelectAll));
    m_pIntervalEdit = qobject_cast<QLineEdit*>(pControl(kIdcIntervalEdit));
    m_pFilterEdit = qobject_cast<QLineEdit*>(pControl(kIdcFilterEdit));
    m_pSdCardLabel = qobject_cast<QLabel*>(pControl(kIdcSdCardLabel));
    m_pDeviceKind = qobject_cast<QLabel*>(pControl(kIdcDeviceKind));
    m_pWifiStatus = qobject_cast<QLabel*>(pControl(kIdcWifiStatus));

    auto* password = qobject_cast<QLineEdit*>(pControl(kIdcPasswordEdit));
    password->setMaxLength(kPasswordMaxChars);
    password->setText(m_strCurrPassword);
    m_acPasswordEdit.iInit(password);
    m_pIntervalEdit->setText(QStringLiteral("3"));
    m_pFilterEdit->setMaxLength(CDevRegistry::kFilterMaxChars);
    m_pWifiStatus->setText(strKey("Not connected"));
    pControl(kIdcTimeInterval)->installEventFilter(this);
    pControl(kIdcAutoRefresh)->installEventFilter(this);

    auto* about = new QAction(strKey("About Kestrel..."), this);
    about->setShortcut(QKeySequence(Qt::Key_F1));
    connect(about, &QAction::triggered, this, &CclientDlg::vShowAbout);
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void CclientDlg::vCreatePages() {
    const std::string& logDir = CSettings::instance().m_strWritableDir;
    auto* videoParam = new CDlgVideoParam(m_pTabCtrl, m_pStation);
    auto* motor = new CDlgMotor(m_pTabCtrl, m_pStation);
    auto* devVersion = new CDlgDevVersion(m_pTabCtrl, m_pStation);
    auto* sensor = new CDlgSensor(m_pTabCtrl, m_pStation);
    m_pages = {new CDlgVideo(m_pTabCtrl, m_pStation),
               new CDlgSetUid(m_pTabCtrl, m_pStation),
               new CDlgDevInfo(m_pTabCtrl, m_pStation),
               devVersion,
               videoParam,
               sensor,
               motor,
               new CDlgLog(m_pTabCtrl, m_pStation, logDir)};
    if (m_pStation != nullptr) {
        m_pStation->videoParam().vSetView(videoParam);
        m_pStation->motor().vSetView(motor);
        m_pStation->config().vSetView(devVersion);
        m_pStation->sensor().vSetView(sensor);
    }
    m_pSetting = new CDlgSetting(this, m_pStation);
    m_pSetting->hide();
    const QSignalBlocker blocker(m_pTabCtrl);
    for (std::size_t tab = 0; tab < m_pages.size(); ++tab) {
        m_pTabCtrl->iInsertItem(strKey(kTabs[tab].m_pszCaption));
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
    vDbgPrint("camkit:%s, %d=>save\r\n", "CclientDlg::PreTranslateMessage", __LINE__);
    m_strCurrPassword = text;
    if (m_pwdStore.vSave(text.toStdString()) == 0) {
        m_acPasswordEdit.vAddItem(text);
    }
    setFocus();
}

void CclientDlg::vRecordLayout() {
    const QFont windowFont = sWindowFont(kStartFontHeight);
    m_recordedWindow = CLayoutRect{0, 0, width(), height()};
    m_layoutTable.clear();
    for (const CControlDef& def : kMainControls) {
        QWidget* control = pControl(def.m_iId);
        control->setFont(windowFont);
        m_layoutTable.emplace_back(control, sToLayoutRect(control->geometry()));
    }
}

void CclientDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (!m_layoutTable.empty()) {
        vScaleLayout();
    }
}

void CclientDlg::vScaleLayout() {
    const CLayoutRect newWindow{0, 0, width(), height()};
    const double ratioY = static_cast<double>(height()) / m_recordedWindow.iHeight();
    const int fontHeight = iWindowFontHeight(ratioY);
    vDbgPrint("camkit:%s, %d=>h=%d\r\n", "CclientDlg::OnSize", __LINE__, fontHeight);
    const QFont windowFont = sWindowFont(fontHeight);
    for (const auto& [control, recorded] : m_layoutTable) {
        if (control.isNull()) {
            continue;
        }
        control->setFont(windowFont);
        control->setGeometry(sToQRect(sScaleWindowChild(m_recordedWindow, recorded, newWindow)));
    }
    vPlacePages();
}

void CclientDlg::vPlacePages() {
    const QRect pageRect = m_pTabCtrl->rectPage();
    for (CScaledPage* page : m_pages) {
        page->setGeometry(pageRect);
    }
}

QWidget* CclientDlg::pControl(int id) const {
    const auto found = m_controls.find(id);
    return found == m_controls.end() ? nullptr : found->second;
}

QTimer& CclientDlg::timer(EDlgTimer dlgTimer) {
    return m_timers.at(uTimerSlot(dlgTimer));
}

bool CclientDlg::fgTimerActive(EDlgTimer dlgTimer) const {
    return m_timers.at(uTimerSlot(dlgTimer)).isActive();
}

int CclientDlg::iTimerPeriodMs(EDlgTimer dlgTimer) const {
    return m_timers.at(uTimerSlot(dlgTimer)).interval();
}

void CclientDlg::vSetTimerPeriod(EDlgTimer dlgTimer, int periodMs) {
    timer(dlgTimer).setInterval(periodMs);
}

void CclientDlg::vStartTimer(EDlgTimer dlgTimer) {
    timer(dlgTimer).start();
}

void CclientDlg::vStopTimer(EDlgTimer dlgTimer) {
    timer(dlgTimer).stop();
}

void CclientDlg::vTimerTick(EDlgTimer dlgTimer) {
    switch (dlgTimer) {
        case EDlgTimer::kProgress:
            vProgressTick();
            break;
        case EDlgTimer::kWifiPoll:
            if (m_pStation == nullptr || !m_pStation->login().fgWifiPollTick()) {
                vStopTimer(dlgTimer);
            }
            break;
        case EDlgTimer::kTabRefresh:
            pPage(m_pTabCtrl->iGetCurSel())->vTabRefresh(ETabRefresh::kDelayed);
            break;
        case EDlgTimer::kSort:
            if (m_pStation == nullptr || !m_pStation->discovery().fgSortTick()) {
                vStopTimer(dlgTimer);
            }
            break;
        case EDlgTimer::kSearchAgain:
            if (m_pStation != nullptr) {
                m_pStation->discovery().vSearch();
            }
            break;
        case EDlgTimer::kDrain:
            // Drains until the queue is empty, 30 records a tick, so that a burst of
            // replies neither blocks the window nor waits for the next search.
            if (m_pStation == nullptr || m_pStation->discovery().iDrainDiscoveryQueue() == 0) {
                vStopTimer(dlgTimer);
            }
            break;
        case EDlgTimer::kLiveRestart:
            if (CDevInfo devInfo;
                m_pStation != nullptr && m_pStation->registry().fgGetCurrDevInfo(devInfo)) {
                pPage(kTabLiveView)->vOnDeviceChosen(EDevChoice::kRowClick, devInfo);
            }
            break;
        case EDlgTimer::kCalibration:
            vCalibrationTick();
            break;
    }
}

void CclientDlg::vProgressTick() {
    if (m_iCalibState != 0) {
        return;
    }
    if (m_pProgress->value() >= kProgressMax) {
        vStopTimer(EDlgTimer::kProgress);
        emit sigSearchDone();
        return;
    }
    m_pProgress->setValue(m_pProgress->value() + 1);
}

void CclientDlg::vStartCalibration() {
    m_iCalibState = 1;
    vStartTimer(EDlgTimer::kCalibration);
}

void CclientDlg::vCalibrationTick() {
    if (m_iCalibState == 1) {
        m_pProgress->setValue(0);
        m_iCalibState = 2;
    }
    if (m_iCalibState == 0) {
        return;
    }
    if (m_pProgress->value() >= kProgressMax) {
        vStopTimer(EDlgTimer::kCalibration);
        m_iCalibState = 0;
        if (m_pStation != nullptr) {
            m_pStation->camera().vEndCalibration();
        }
        return;
    }
    m_pProgress->setValue(m_pProgress->value() + 1);
}

void CclientDlg::vOnDiscoveryQueued() {
    if (!fgTimerActive(EDlgTimer::kDrain)) {
        vStartTimer(EDlgTimer::kDrain);
    }
}

void CclientDlg::vStartWifiPoll() {
    vStartTimer(EDlgTimer::kWifiPoll);
}

void CclientDlg::vStopWifiPoll() {
    vStopTimer(EDlgTimer::kWifiPoll);
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
    const int seconds = iParseInterval(m_pIntervalEdit->text());
    if (seconds < kIntervalMin || seconds > kIntervalMax) {
        vMessageBoxTipsOk(this, strKey("Please input currect seconds"));
        return;
    }
    if (m_iCalibState == 0) {
        m_pProgress->setValue(0);
        vStartTimer(EDlgTimer::kProgress);
    }
    vStartTimer(EDlgTimer::kSearchAgain);
    if (m_pStation != nullptr) {
        m_pStation->discovery().vRefresh();
    }
    vStartTimer(EDlgTimer::kSort);
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
    QTimer::singleShot(kRowClickRefreshDelayMs, this, [this] {
        vOnTabSelChange(m_pTabCtrl->iGetCurSel(), ETabRefresh::kRowClick);
    });
    vStartTimer(EDlgTimer::kTabRefresh);
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
    vDbgPrint("camkit:%s, %d=>db client;item id=%d\r\n", "CclientDlg::OnNMDblclkListClient",
              __LINE__, row);
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
    const int tab = m_pTabCtrl->iGetCurSel() == kTabLog ? kTabLog : kTabLiveView;
    pPage(tab)->vOnEnterKey();
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
            vDbgPrint("camkit:%s, %d=>########\r\n", "CclientDlg::OnStnDblclickStatic1", __LINE__);
            if (m_pStation != nullptr) {
                m_pStation->registry().vPrintDevInfo();
            }
            emit sigRegistryDumped();
        } else if (event->type() == QEvent::MouseButtonPress) {
            vDbgPrint("camkit:%s, %d=>1111111\r\n", "CclientDlg::OnStnClickedStatic1", __LINE__);
        }
    } else if (watched == pControl(kIdcAutoRefresh) &&
               event->type() == QEvent::MouseButtonDblClick) {
        vDbgPrint("camkit:%s, %d=>db click\r\n", "CclientDlg::OnBnDoubleclickedCheck1", __LINE__);
        QDesktopServices::openUrl(
            QUrl::fromLocalFile(QString::fromStdString(CSettings::instance().m_strWritableDir)));
    }
    return QDialog::eventFilter(watched, event);
}
