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

std::string strVideoRecordPath(const std::string& folder, std::string_view uid, int streamId,
                               std::time_t startTime) {
    std::tm local{};
    localtime_r(&startTime, &local);
    std::array<char, 32> stamp{};
    std::snprintf(stamp.data(), stamp.size(), "%4d-%02d-%02d-%02d-%02d-%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return folder + strSafeFileNamePart(uid) + "_" + stamp.data() +
           (streamId == kStreamSub ? "_s" : "_m") + ".h264";
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
      m_videoCtrl(
          m_mailbox, [this](std::span<const std::uint8_t> packet) { vOnOtherPacket(packet); },
          [this](std::uint32_t) { m_pVideo->vPictureReady(); }),
      m_strRecordDir(CSettings::instance().m_strWritableDir) {
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
    // Nothing of the stream may call into the page once its widgets go.
    m_network.BaNetwork_StopStream(EStreamChannel::kVideo);
    m_videoCtrl.iStopDecodeAndDisplay();
    vDbgPrint("camkit:%s, %d=>exit\r\n", "CDlgVideo::~CDlgVideo", __LINE__);
}

void CDlgVideo::vCreateControls() {
    const int pageWidth = width();
    const int pageHeight = height();
    m_pVideo = new CVideoWnd(this, m_mailbox);
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
    for (QPushButton* button : m_holdButtons) {
        button->installEventFilter(this);
    }

    connect(m_pPlay, &QPushButton::clicked, this, &CDlgVideo::vOnPlayClicked);
    connect(m_pStream, &QComboBox::currentIndexChanged, this, &CDlgVideo::vOnStreamChanged);
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
    std::string password = m_pStation->strPassword().substr(0, kPasswordMaxChars);
    if (password.empty()) {
        password = kDefaultDevPassword;
    }
    const int streamId = m_pStream->currentIndex() == 1 ? kStreamSub : kStreamMain;
    vCloseRecording();
    if (m_network.BaNetwork_StartStream(streamId, *this, sMakeStreamCredentials(kUser, password),
                                        devInfo.m_uiIpAddr) != 0) {
        return -1;
    }
    m_uiPlayedAddr = devInfo.m_uiIpAddr;
    m_pCurrentDevice->setText(strTrKey("Current Device:") +
                              QString::fromStdString(devInfo.m_strUid));
    m_fgPlaying = true;
    {
        std::lock_guard guard(m_recordLock);
        m_strRecordPath =
            strVideoRecordPath(m_strRecordDir, devInfo.m_strUid, streamId, std::time(nullptr));
    }
    m_pPlay->setText(strTrKey("Stop Play"));
    vDbgPrint("camkit:%s, %d=>get stream\r\n", "CDlgVideo::iStartPlayVideo", __LINE__);
    return 0;
}

void CDlgVideo::StopPlayVideo() {
    m_network.BaNetwork_StopStream(EStreamChannel::kVideo);
    m_pPlay->setText(strTrKey("Play Video"));
    m_fgPlaying = false;
    m_pCurrentDevice->setText(QString());
    vCloseRecording();
    QTimer::singleShot(kClearDelayMs, this, [this] {
        if (!m_fgPlaying) {
            vDbgPrint("camkit:%s, %d=>clear display\r\n", "CDlgVideo::OnTimer", __LINE__);
            m_pVideo->vClearDisplay();
        }
    });
    vDbgPrint("camkit:%s, %d=>stop play video\r\n", "CDlgVideo::StopPlayVideo", __LINE__);
}

void CDlgVideo::vOnStreamPacket(int streamId, std::span<const std::uint8_t> packet) {
    if (streamId == kStreamListen) {
        return;
    }
    const std::optional<CMediaHead> head = sParseMediaHead(packet);
    if (!head) {
        return;
    }
    if (head->m_uiType != kPktVideoFrame) {
        m_videoCtrl.iAddOther(packet);
        return;
    }
    const std::span<const std::uint8_t> payload = packet.subspan(kMediaHeadBytes);
    m_videoCtrl.iAddFrame(payload, head->m_uiSequence);
    if (m_fgMonitorRecording && head->m_ucCodec == kCodecH264) {
        vRecordFrame(head->m_ucKeyFrame != 0, payload);
    }
}

void CDlgVideo::vOnStreamStarted(int /*streamId*/) {}

void CDlgVideo::vOnManageStarted() {
    m_videoCtrl.iStartDecodeAndDisplay();
}

void CDlgVideo::vOnManageEnded() {
    m_videoCtrl.iStopDecodeAndDisplay();
}

void CDlgVideo::vOnOtherPacket(std::span<const std::uint8_t> packet) {
    const std::optional<CMediaHead> head = sParseMediaHead(packet);
    if (!head || head->m_uiType != kPktLoginReply || head->m_iResult == kStreamResultOk) {
        return;
    }
    if (head->m_iResult == kStreamResultCheckFailed && m_pStation != nullptr) {
        m_pStation->vReport(sTextResult("Check device failed"));
    }
    vDbgPrint("camkit:%s, %d=>login return err\r\n", "CDlgVideo::CallbackDevOtherCmdHandle",
              __LINE__);
}

void CDlgVideo::vRecordFrame(bool keyFrame, std::span<const std::uint8_t> payload) {
    std::lock_guard guard(m_recordLock);
    if (m_strRecordPath.empty()) {
        return;
    }
    const bool opened = m_recordFile != nullptr;
    if (!opened && !keyFrame) {
        vDbgPrint("camkit:%s, %d=>wait i frame\r\n", "CDlgVideo::CallbackAddStream", __LINE__);
        return;
    }
    if (iWriteBufToFile(static_cast<int>(payload.size()), m_recordFile, m_strRecordPath.c_str(),
                        payload.data()) < 0) {
        vDbgPrint("camkit:err:%s, %d=>open file:%s\r\n", "CDlgVideo::CallbackAddStream", __LINE__,
                  m_strRecordPath.c_str());
        return;
    }
    if (!opened && m_pStation != nullptr) {
        vDbgPrint("camkit:%s, %d=>openfile:%s\r\n", "CDlgVideo::CallbackAddStream", __LINE__,
                  m_strRecordPath.c_str());
        CCmdResult result = sAddrResult(m_uiPlayedAddr, "Video recorded to");
        result.m_eForm = EResultForm::kAddrTextValue;
        result.m_strValue = m_strRecordPath;
        m_pStation->vReport(result);
    }
}

void CDlgVideo::vCloseRecording() {
    std::lock_guard guard(m_recordLock);
    m_recordFile.reset();
}

std::string CDlgVideo::strVideoRecordName() const {
    std::lock_guard guard(m_recordLock);
    return m_strRecordPath;
}

void CDlgVideo::vSetMonitorRecording(bool on) {
    m_fgMonitorRecording = on;
    vDbgPrint("camkit:%s, %d=>monitor record=%d\r\n", "CVideo::OnMonitorRecord", __LINE__,
              on ? 1 : 0);
}

void CDlgVideo::vShowVideoMenu(QPoint globalPos) {
    QMenu menu(this);
    QAction* monitor = menu.addAction(m_fgMonitorRecording ? strTrKey("No video monitoring")
                                                           : strTrKey("Video monitoring"));
    if (menu.exec(globalPos) == monitor) {
        vSetMonitorRecording(!m_fgMonitorRecording);
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
        for (std::size_t i = 0; i < m_holdButtons.size(); ++i) {
            QPushButton* button = m_holdButtons[i];
            if (watched != button) {
                continue;
            }
            // A release outside the button ends nothing: the movement goes on.
            const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
            if (press || button->rect().contains(at)) {
                vDbgPrint("camkit:%s, %d=>#hold %s  down=%d\r\n", "CDlgVideo::PreTranslateMessage",
                          __LINE__, button->text().toUtf8().constData(), press ? 1 : 0);
                vSendToCurrent(bufBuildCameraAction(press ? kHoldActions[i] : 0));
            }
        }
    }
    return CScaledPage::eventFilter(watched, event);
}
