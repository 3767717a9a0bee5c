#include "ui/pages/dlg_video.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/dbg_print.h"
#include "app/settings.h"
#include "protocol/station.h"
#include "ui/dialog_text.h"
#include "ui/ownerdraw_tab_ctrl.h"
#include "ui/video_wnd.h"

namespace {

constexpr std::size_t kSafeNameMax = 64;
constexpr const char* kUser = "admin";
constexpr std::size_t kPasswordMaxChars = 19;
// The page's size when it is made outside a tab control.
constexpr QSize kDefaultPageSize(760, 470);
// The video window's margins in the page; the controls' column on its right.
constexpr int kVideoLeft = 2;
constexpr int kVideoTop = 45;
constexpr int kColumnWidth = 152;
constexpr int kRowHeight = 24;
constexpr int kRowStep = 28;

}  // namespace

std::string strSafeFileNamePart(std::string_view text) {
    std::string safe;
    for (const char c : text.substr(0, kSafeNameMax)) {
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '_';
        safe.push_back(keep ? c : '_');
    }
    return safe.empty() ? std::string("unknown") : safe;
}

namespace {

// folder, safe UID, "_", the local time "YYYY-MM-DD-hh-mm-ss", then the ending.
std::string strRecordPath(const std::string& folder, std::string_view uid, std::time_t startTime,
                          std::string_view ending) {
    std::tm local{};
    localtime_r(&startTime, &local);
    std::array<char, 80> stamp{};
    std::snprintf(stamp.data(), stamp.size(), "%4d-%02d-%02d-%02d-%02d-%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return folder + strSafeFileNamePart(uid) + "_" + stamp.data() + std::string(ending);
}

// The result line "<address> <text> <path>" that says where a recording went.
CCmdResult sRecordedResult(std::uint32_t addrNet, const char* key, const std::string& path) {
    CCmdResult result = sAddrResult(addrNet, key);
    result.m_eForm = EResultForm::kAddrTextValue;
    result.m_strValue = path;
    return result;
}

}  // namespace

std::string strVideoRecordPath(const std::string& folder, std::string_view uid, int streamId,
                               std::time_t startTime) {
    return strRecordPath(folder, uid, startTime, streamId == kStreamSub ? "_s.h264" : "_m.h264");
}

std::string strListenRecordPath(const std::string& folder, std::string_view uid,
                                std::time_t startTime) {
    return strRecordPath(folder, uid, startTime, ".pcm");
}

int iDragDirection(QPoint start, QPoint end) {
    const int dx = end.x() - start.x();
    const int dy = end.y() - start.y();
    if (std::abs(dx) >= std::abs(dy)) {
        return std::abs(dx) < CDlgVideo::kDragMinPixels ? -1 : (dx > 0 ? 1 : 0);
    }
    return std::abs(dy) < CDlgVideo::kDragMinPixels ? -1 : (dy > 0 ? 3 : 2);
}

CDlgVideo::CDlgVideo(QWidget* parent, CStation* station)
    : CScaledPage(parent, 4),
      m_pStation(station),
      m_strRecordDir(CSettings::instance().m_strWritableDir),
      m_strProgramDir(CSettings::instance().m_strProgramDir) {
    if (m_pStation != nullptr) {
        m_hornLink = std::make_unique<CStationHornLink>(*m_pStation);
        m_horn = std::make_unique<CHornTest>(*m_hornLink, static_cast<IHornView&>(*this));
    }
    QSize pageSize = kDefaultPageSize;
    if (const auto* tabs = qobject_cast<COwnerdrawTabCtrl*>(parent);
        tabs != nullptr && !tabs->rectPage().isEmpty()) {
        pageSize = tabs->rectPage().size();
    }
    resize(pageSize);
    vCreateControls();
    vDbgPrint("camkit:%s, %d=>video dlg init\r\n", "CDlgVideo::OnInitDialog", __LINE__);
}

CDlgVideo::~CDlgVideo() {
    // Nothing of the streams or the horn test may call into the page once its widgets go.
    m_horn.reset();
    m_live.vStopListen();
    m_live.vStopVideo();
    vDbgPrint("camkit:%s, %d=>exit\r\n", "CDlgVideo::~CDlgVideo", __LINE__);
}

void CDlgVideo::vCreateControls() {
    const int pageWidth = width();
    const int pageHeight = height();
    m_pVideo = new CVideoWnd(this, m_live.mailbox());
    m_pVideo->setGeometry(kVideoLeft, kVideoTop, std::max(1, pageWidth - kColumnWidth),
                          std::max(1, pageHeight - kVideoTop));
    m_pVideo->installEventFilter(this);

    m_pCurrentDevice = new QLabel(strTrKey("Current Device:"), this);
    m_pCurrentDevice->setGeometry(kVideoLeft, 12, 300, kRowHeight);
    m_pPlay = new QPushButton(strTrKey("Play Video"), this);
    m_pPlay->setGeometry(310, 10, 100, kRowHeight);
    m_pStream = new QComboBox(this);
    m_pStream->addItems({strTrKey("Main Stream"), strTrKey("Sub Stream")});
    m_pStream->setGeometry(420, 10, 110, kRowHeight);
    m_pListen = new QPushButton(strTrKey("Listen"), this);
    m_pListen->setGeometry(540, 10, 90, kRowHeight);
    m_pHorn = new QPushButton(strTrKey("Horn Test"), this);
    m_pHorn->setGeometry(640, 10, 90, kRowHeight);

    // The column right of the video: two buttons a row, or a label or a list.
    const int left = pageWidth - kColumnWidth + 6;
    const int half = (kColumnWidth - 14) / 2;
    int top = kVideoTop;
    const auto pair = [&](const QString& first, const QString& second) {
        auto* a = new QPushButton(first, this);
        auto* b = new QPushButton(second, this);
        a->setGeometry(left, top, half, kRowHeight);
        b->setGeometry(left + half + 2, top, half, kRowHeight);
        top += kRowStep;
        return std::pair{a, b};
    };
    const auto whole = [&](QWidget* widget) {
        widget->setGeometry(left, top, 2 * half + 2, kRowHeight);
        top += kRowStep;
    };

    const auto [cruiseStart, cruiseStop] = pair(strTrKey("start cruise"), strTrKey("Stop cruise"));
    const auto [restart, reset] = pair(strTrKey("Restart"), strTrKey("Factory Reset"));
    whole(new QLabel(strTrKey("Day/night mode"), this));
    m_pDayNight = new QComboBox(this);
    m_pDayNight->addItems({strTrKey("Day mode"), strTrKey("Night mode"), strTrKey("Auto mode")});
    whole(m_pDayNight);
    whole(new QLabel(strTrKey("video Flip"), this));
    m_pFlip = new QComboBox(this);
    m_pFlip->addItems(
        {strTrKey("Nomal"), strTrKey("V-Flip"), strTrKey("H-Flip"), strTrKey("VH-Flip")});
    whole(m_pFlip);
    const auto [obtain, calibrate] = pair(strTrKey("Obtain"), strTrKey("Calibrate"));
    std::tie(m_holdButtons[kZoomIn], m_holdButtons[kZoomOut]) =
        pair(strTrKey("ZOOM IN"), strTrKey("ZOOM OUT"));
    std::tie(m_holdButtons[kFocusFar], m_holdButtons[kFocusNear]) =
        pair(strTrKey("Focus Far"), strTrKey("Focus Near"));
    std::tie(m_holdButtons[kUp], m_holdButtons[kDown]) = pair(strTrKey("Up"), strTrKey("Down"));
    std::tie(m_holdButtons[kLeft], m_holdButtons[kRight]) =
        pair(strTrKey("Left"), strTrKey("Right"));
    // The press-and-hold buttons watch every press and release over the page's
    // controls, wherever the mouse was grabbed.
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        child->installEventFilter(this);
    }

    connect(m_pPlay, &QPushButton::clicked, this, &CDlgVideo::vOnPlayClicked);
    connect(m_pStream, &QComboBox::currentIndexChanged, this, &CDlgVideo::vOnStreamChanged);
    connect(m_pListen, &QPushButton::clicked, this, &CDlgVideo::vOnListenClicked);
    connect(m_pHorn, &QPushButton::clicked, this, &CDlgVideo::vOnHornClicked);
    connect(cruiseStart, &QPushButton::clicked, this,
            [this] { vSendToSelected(bufBuildPtzMove(kPtzCruiseStart)); });
    connect(cruiseStop, &QPushButton::clicked, this,
            [this] { vSendToSelected(bufBuildPtzMove(kPtzCruiseStop)); });
    connect(restart, &QPushButton::clicked, this, [this] { vSendToCurrent(bufBuildRestart()); });
    connect(reset, &QPushButton::clicked, this, [this] {
        if (iMessageBoxTips(this, strTrKey("Sure to restore to the factory?")) == kBoxOk) {
            vSendToCurrent(bufBuildFactoryReset(EResetOrigin::kPlain));
        }
    });
    connect(obtain, &QPushButton::clicked, this, &CDlgVideo::vObtain);
    connect(calibrate, &QPushButton::clicked, this,
            [this] { vSendToCurrent(bufBuildCameraAction(CCameraFeature::kActionCalibrate)); });
    // Only the operator's choice sends; the device's answers set the lists silently.
    connect(m_pFlip, &QComboBox::activated, this,
            [this](int entry) { vSendToSelected(bufBuildSetFlip(entry)); });
    connect(m_pDayNight, &QComboBox::activated, this, [this](int entry) {
        static constexpr std::array<EDayNight, 3> kModes{EDayNight::kDay, EDayNight::kNight,
                                                         EDayNight::kAuto};
        if (entry >= 0 && entry < static_cast<int>(kModes.size())) {
            vSendToSelected(bufBuildSetDayNight(kModes[static_cast<std::size_t>(entry)]));
        }
    });
    connect(m_pVideo, &CVideoWnd::sigDrag, this, &CDlgVideo::vUpdateVideoCursorPosInfo);
    connect(m_pVideo, &CVideoWnd::sigDoubleClicked, this, &CDlgVideo::vDbClickVideoZoneHandle);
    connect(m_pVideo, &CVideoWnd::sigContextMenu, this, &CDlgVideo::vShowVideoMenu);
}

void CDlgVideo::vOnPlayClicked() {
    if (m_fgPlaying) {
        StopPlayVideo();
        return;
    }
    if (m_pStation == nullptr || m_pStation->registry().iListSelect() == -1) {
        vShowChooseDevice(this);
        return;
    }
    if (!m_pStation->fgSelectDevIsLogin()) {
        return;
    }
    iStartPlayVideo();
}

void CDlgVideo::vOnStreamChanged() {
    StopPlayVideo();
    iStartPlayVideo();
}

int CDlgVideo::iStartPlayVideo() {
    CDevInfo devInfo;
    if (m_pStation == nullptr || !m_pStation->registry().fgGetCurrDevInfo(devInfo)) {
        vDbgPrint("camkit:%s, %d=>get curr dev info fail\r\n", "CDlgVideo::iStartPlayVideo",
                  __LINE__);
        return -1;
    }
    const std::string password = strPassword();
    const int streamId = m_pStream->currentIndex() == 1 ? kStreamSub : kStreamMain;
    if (m_live.iStartVideo(streamId, sMakeStreamCredentials(kUser, password), devInfo.m_uiIpAddr,
                           strVideoRecordPath(m_strRecordDir, devInfo.m_strUid, streamId,
                                              std::time(nullptr))) != 0) {
        return -1;
    }
    m_uiPlayedAddr = devInfo.m_uiIpAddr;
    m_pCurrentDevice->setText(strTrKey("Current Device:") +
                              QString::fromStdString(devInfo.m_strUid));
    m_fgPlaying = true;
    if (m_fgListening) {
        vStartListen();
    }
    m_pPlay->setText(strTrKey("Stop Play"));
    vDbgPrint("camkit:%s, %d=>get stream\r\n", "CDlgVideo::iStartPlayVideo", __LINE__);
    return 0;
}

std::string CDlgVideo::strPassword() const {
    std::string password = m_pStation->strPassword().substr(0, kPasswordMaxChars);
    return password.empty() ? std::string(kDefaultDevPassword) : password;
}

void CDlgVideo::vOnListenClicked() {
    if (m_fgListening) {
        vStopListen();
        return;
    }
    if (m_pStation == nullptr || m_pStation->registry().iListSelect() == -1) {
        vShowChooseDevice(this);
        return;
    }
    if (m_pStation->fgSelectDevIsLogin()) {
        vStartListen();
    }
}

void CDlgVideo::vStartListen() {
    CDevInfo devInfo;
    if (m_pStation == nullptr || !m_pStation->registry().fgGetCurrDevInfo(devInfo)) {
        vDbgPrint("camkit:%s, %d=>get curr dev info fail\r\n", "CDlgVideo::vStartListen", __LINE__);
        return;
    }
    m_fgListening = true;
    m_pListen->setText(strTrKey("Stop Listen"));
    m_uiPlayedAddr = devInfo.m_uiIpAddr;
    m_live.iStartListen(sMakeStreamCredentials(kUser, strPassword()), devInfo.m_uiIpAddr,
                        strListenRecordPath(m_strRecordDir, devInfo.m_strUid, std::time(nullptr)));
}

void CDlgVideo::vStopListen() {
    m_fgListening = false;
    m_pListen->setText(strTrKey("Listen"));
    m_live.vStopListen();
}

void CDlgVideo::vOnHornClicked() {
    if (m_horn == nullptr) {
        return;
    }
    if (m_pStation->registry().iListSelect() == -1) {
        vShowChooseDevice(this);
        return;
    }
    std::string ip;
    if (!m_pStation->fgSelectDevIsLogin(&ip)) {
        return;
    }
    if (m_horn->fgRunning()) {
        m_pHorn->setText(strTrKey("Horn Test"));
        m_horn->vStop();
        return;
    }
    m_pHorn->setText(strTrKey("Stop Test"));
    if (m_horn->iStart(ip, strFindHornFile(m_strProgramDir)) != 0) {
        m_horn->vStop();
        m_pHorn->setText(strTrKey("Horn Test"));
    }
}

void CDlgVideo::vOnHornDone(const CHornResult& result) {
    // The worker's one line. A test that sent something keeps "Stop Test" until the
    // operator stops it; one that could not start shows "Horn Test" again.
    if (result.m_eOutcome == EHornOutcome::kStopped) {
        return;
    }
    if (result.m_eOutcome == EHornOutcome::kNoFile ||
        result.m_eOutcome == EHornOutcome::kNoSocket ||
        result.m_eOutcome == EHornOutcome::kConnectFailed) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_horn != nullptr && m_horn->fgRunning()) {
                    m_horn->vStop();
                }
                m_pHorn->setText(strTrKey("Horn Test"));
            },
            Qt::QueuedConnection);
    }
    std::uint32_t addr = 0;
    fgParseIp(result.m_strDevice, addr);
    CCmdResult line = sAddrResult(addr, pszHornOutcomeKey(result.m_eOutcome));
    line.m_eForm = EResultForm::kAddrTextValue;
    line.m_strValue =
        result.m_eOutcome == EHornOutcome::kNoFile || result.m_eOutcome == EHornOutcome::kReadFailed
            ? result.m_strFile
            : std::to_string(result.m_ulBytesSent) + "/" + std::to_string(result.m_ulBytesTotal);
    m_pStation->vReport(line);
}

void CDlgVideo::StopPlayVideo() {
    m_live.vStopVideo();
    m_pPlay->setText(strTrKey("Play Video"));
    m_fgPlaying = false;
    m_pCurrentDevice->setText(QString());
    QTimer::singleShot(kClearDelayMs, this, [this] {
        if (!m_fgPlaying) {
            vDbgPrint("camkit:%s, %d=>clear display\r\n", "CDlgVideo::OnTimer", __LINE__);
            m_pVideo->vClearDisplay();
        }
    });
    vDbgPrint("camkit:%s, %d=>stop play video\r\n", "CDlgVideo::StopPlayVideo", __LINE__);
}

void CDlgVideo::vOnPictureReady() {
    m_pVideo->vPictureReady();
}

void CDlgVideo::vOnVideoLoginFailed(std::int32_t result) {
    if (result == kStreamResultCheckFailed && m_pStation != nullptr) {
        m_pStation->vReport(sTextResult("Check device failed"));
    }
    vDbgPrint("camkit:%s, %d=>login return err\r\n", "CDlgVideo::CallbackDevOtherCmdHandle",
              __LINE__);
}

void CDlgVideo::vOnRecordingStarted(EStreamChannel channel, const std::string& path) {
    vDbgPrint("camkit:%s, %d=>openfile:%s\r\n", "CDlgVideo::CallbackAddStream", __LINE__,
              path.c_str());
    if (m_pStation != nullptr) {
        m_pStation->vReport(sRecordedResult(
            m_uiPlayedAddr,
            channel == EStreamChannel::kListen ? "Sound recorded to" : "Video recorded to", path));
    }
}

void CDlgVideo::vOnRecordingCut(EStreamChannel, const CRecordingEnd& end) {
    vDbgPrint("camkit:err:%s, %d=>%s: %s\r\n", "CDlgVideo::vOnRecordingCut", __LINE__,
              end.m_strPath.c_str(), end.m_strError.c_str());
    if (m_pStation != nullptr) {
        m_pStation->vReport(
            sRecordedResult(m_uiPlayedAddr, strRecordingCutLine(end).c_str(), end.m_strPath));
    }
}

std::string CDlgVideo::strListenRecordName() const {
    return m_live.strListenRecordPath();
}

void CDlgVideo::vSetListenRecording(bool on) {
    m_live.vSetListenRecording(on);
    vDbgPrint("camkit:%s, %d=>record=%d\r\n", "CVideo::OnListenRecord", __LINE__, on ? 1 : 0);
}

std::string CDlgVideo::strVideoRecordName() const {
    return m_live.strVideoRecordPath();
}

void CDlgVideo::vSetMonitorRecording(bool on) {
    m_live.vSetVideoRecording(on);
    vDbgPrint("camkit:%s, %d=>monitor record=%d\r\n", "CVideo::OnMonitorRecord", __LINE__,
              on ? 1 : 0);
}

void CDlgVideo::vShowVideoMenu(QPoint globalPos) {
    QMenu menu(this);
    QAction* listen =
        menu.addAction(fgListenRecording() ? strTrKey("When listening to stop the recording")
                                           : strTrKey("When listening the tape"));
    QAction* monitor = menu.addAction(fgMonitorRecording() ? strTrKey("No video monitoring")
                                                           : strTrKey("Video monitoring"));
    QAction* chosen = menu.exec(globalPos);
    if (chosen == listen) {
        vSetListenRecording(!fgListenRecording());
    } else if (chosen == monitor) {
        vSetMonitorRecording(!fgMonitorRecording());
    }
}

void CDlgVideo::vUpdateVideoCursorPosInfo(QPoint start, QPoint end) {
    if (start == end) {
        return;
    }
    vDbgPrint("camkit:%s, %d=>start:x=%d,y=%d,end:x=%d,y=%d\r\n",
              "CDlgVideo::vUpdateVideoCursorPosInfo", __LINE__, start.x(), start.y(), end.x(),
              end.y());
    const int direction = iDragDirection(start, end);
    if (direction >= 0) {
        vDbgPrint("camkit:%s, %d=>motor dir:%d\r\n", "CDlgVideo::vMotorControl", __LINE__,
                  direction);
        vMotorControl(direction);
    }
}

void CDlgVideo::vMotorControl(int direction) {
    const CmdBytes request = bufBuildPtzDrag(direction);
    if (m_pStation != nullptr && m_uiPlayedAddr != 0 && !request.empty()) {
        m_pStation->sender().iSendUdpToDev(m_uiPlayedAddr, request);
    }
}

void CDlgVideo::vDbClickVideoZoneHandle() {
    if (!m_fgPlaying) {
        return;
    }
    if (m_fgFullScreen) {
        vLeaveFullScreen();
        return;
    }
    m_fgFullScreen = true;
    vDbgPrint("camkit:%s, %d=>fullscreen = %d\r\n", "CDlgVideo::vDbClickVideoZoneHandle", __LINE__,
              1);
    m_savedVideoRect = m_pVideo->geometry();
    m_pVideo->setParent(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    m_pVideo->showFullScreen();
}

void CDlgVideo::vLeaveFullScreen() {
    if (!m_fgFullScreen) {
        return;
    }
    m_fgFullScreen = false;
    vDbgPrint("camkit:%s, %d=>fullscreen = %d\r\n", "CDlgVideo::vDbClickVideoZoneHandle", __LINE__,
              0);
    m_pVideo->setParent(this, Qt::Widget);
    m_pVideo->setGeometry(m_savedVideoRect);
    m_pVideo->show();
    vRecordLayout();
}

void CDlgVideo::vObtain() {
    if (m_pStation == nullptr) {
        return;
    }
    std::string ip;
    if (m_pStation->fgSelectDevIsLogin(&ip)) {
        m_pStation->fgSendToDev(ip, bufBuildGetFlip());
        m_pStation->fgSendToDev(ip, bufBuildGetDayNight());
    }
}

void CDlgVideo::vSetFlip(int entry) {
    if (entry >= 0 && entry < m_pFlip->count()) {
        m_pFlip->setCurrentIndex(entry);
    }
}

void CDlgVideo::vSetDayNight(int value) {
    // The device counts auto, night, day; the list shows day, night, auto.
    if (value >= 0 && value < m_pDayNight->count()) {
        m_pDayNight->setCurrentIndex(m_pDayNight->count() - 1 - value);
    }
}

void CDlgVideo::vSendToSelected(const CmdBytes& request) {
    std::string ip;
    if (m_pStation != nullptr && !request.empty() && m_pStation->fgSelectDevIsLogin(&ip)) {
        m_pStation->fgSendToDev(ip, request);
    }
}

void CDlgVideo::vSendToCurrent(const CmdBytes& request) {
    CDevInfo devInfo;
    if (m_pStation != nullptr && m_pStation->registry().fgGetCurrDevInfo(devInfo)) {
        m_pStation->fgSendToDev(devInfo.m_strIp, request);
    }
}

void CDlgVideo::vTabRefresh(ETabRefresh cause) {
    if (cause != ETabRefresh::kRowClick && m_pStation != nullptr &&
        m_pStation->registry().iListSelect() != -1) {
        vObtain();
    }
}

void CDlgVideo::vOnDeviceChosen(EDevChoice choice, const CDevInfo& /*devInfo*/) {
    if (choice == EDevChoice::kDoubleClick || m_fgPlaying) {
        iStartPlayVideo();
    }
}

void CDlgVideo::vOnEnterKey() {
    if (m_fgPlaying) {
        vDbClickVideoZoneHandle();
    } else {
        iStartPlayVideo();
    }
}

void CDlgVideo::vOnEscapeKey() {
    vLeaveFullScreen();
    StopPlayVideo();
}

void CDlgVideo::vHoldButtonEvent(QPoint globalPos, bool press) {
    // Where the press or release is decides, not which button grabbed the mouse: a
    // release outside every button ends nothing, the movement goes on.
    static constexpr std::array<std::pair<EHoldButton, const char*>, 8> kPrecedence{{
        {kFocusNear, "#IDC_BUTTON_FOCUS_NEAR"},
        {kFocusFar, "#IDC_BUTTON_FOCUS_FAR"},
        {kZoomOut, "#IDC_BUTTON_ZOOM_OUT"},
        {kZoomIn, "#IDC_BUTTON_ZOOM_IN"},
        {kUp, nullptr},
        {kDown, nullptr},
        {kLeft, nullptr},
        {kRight, nullptr},
    }};
    for (const auto& [button, logName] : kPrecedence) {
        const QPushButton* widget = m_holdButtons[button];
        if (!widget->isVisible() || !widget->rect().contains(widget->mapFromGlobal(globalPos))) {
            continue;
        }
        if (logName != nullptr) {
            vDbgPrint("camkit:%s, %d=>%s  down=%d\r\n", "CDlgVideo::PreTranslateMessage", __LINE__,
                      logName, press ? 1 : 0);
        }
        vSendToCurrent(bufBuildCameraAction(press ? kHoldActions[button] : 0));
        return;
    }
}

bool CDlgVideo::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pVideo && m_fgFullScreen && event->type() == QEvent::KeyPress) {
        // Full screen, the window has the keys the main window would get.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape) {
            vOnEscapeKey();
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            vLeaveFullScreen();
            return true;
        }
    }
    const bool press = event->type() == QEvent::MouseButtonPress;
    if ((press || event->type() == QEvent::MouseButtonRelease) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        vHoldButtonEvent(static_cast<QMouseEvent*>(event)->globalPosition().toPoint(), press);
    }
    return CScaledPage::eventFilter(watched, event);
}
