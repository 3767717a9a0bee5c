#pragma once

#include <QPoint>
#include <QRect>
#include <array>
#include <atomic>
#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "media/horn_test.h"
#include "media/live_session.h"
#include "protocol/requests.h"
#include "ui/qt_pcm_sink.h"
#include "ui/scaled_page.h"

class CStation;
class CVideoWnd;
class QComboBox;
class QLabel;
class QPushButton;

// A device's UID as a part of a file name: letters, digits, '-' and '_' kept, every
// other byte (separators, dots, control characters, non-ASCII) becomes '_', at most 64
// characters; "unknown" when nothing is left. A name made from it cannot leave its
// folder.
std::string strSafeFileNamePart(std::string_view text);

// Where a video recording goes: folder (with its trailing separator), safe UID, "_",
// the local start time "YYYY-MM-DD-hh-mm-ss", "_m" (main stream) or "_s", ".h264".
std::string strVideoRecordPath(const std::string& folder, std::string_view uid, int streamId,
                               std::time_t startTime);
// Where a listen recording goes: folder, safe UID, "_", the start time, ".pcm".
std::string strListenRecordPath(const std::string& folder, std::string_view uid,
                                std::time_t startTime);

// The drag steering direction of a drag from start to end: 0 left, 1 right, 2 up,
// 3 down; -1 for a drag shorter than 30 pixels along its main axis (a tie counts as
// horizontal).
int iDragDirection(QPoint start, QPoint end);

// The "A/V Test" page (tab 0): the live view of one device in the video window, its
// sound (Listen), their recordings, the horn test, and the camera's actions (cruise, flip,
// day/night, press-and-hold zoom, focus and directions, calibration, restart, factory reset). The
// stream, its decoding, the sound and the recordings are the core's CLiveSession
// (src/media/live_session.h); the page keeps the widgets and shows what the session reports. Its
// drop-down lists get four field heights of room.
//
// Threads: controls, menus and timers on the UI thread; the session's reports come from
// its threads (a picture to paint, a failed stream login, a recording begun or cut) and
// are passed on as queued repaints and result lines; the horn worker reports its end.
// The destructor stops the horn test and the session first.
class CDlgVideo : public CScaledPage, private ILiveView, private IHornView {
    Q_OBJECT

  public:
    static constexpr int kDragMinPixels = 30;
    static constexpr int kClearDelayMs = 20;
    // Press-and-hold buttons with their camera actions (0 ends the movement).
    enum EHoldButton { kZoomIn, kZoomOut, kFocusFar, kFocusNear, kUp, kDown, kLeft, kRight };
    static constexpr std::array<std::uint32_t, 8> kHoldActions{6, 5, 4, 3, 7, 8, 9, 10};

    // station may be null (a window without devices). The station outlives the page.
    explicit CDlgVideo(QWidget* parent, CStation* station = nullptr);
    ~CDlgVideo() override;

    // Starts the video of the current device (its stream from the stream box). 0, or
    // -1 when there is no current device or the stream could not start.
    int iStartPlayVideo();
    // Stops the video; the window turns black 20 ms later unless it plays again.
    void StopPlayVideo();
    // A double click in the video window: full screen on or off, only while playing.
    void vDbClickVideoZoneHandle();
    // A drag in the video window (screen points): steers the played device.
    void vUpdateVideoCursorPosInfo(QPoint start, QPoint end);
    // Reads flip and day/night from the selected device.
    void vObtain();
    // Listen: starts the listen channel of the current device (after the login check
    // the button runs), or stops it.
    void vStartListen();
    void vStopListen();
    // The horn test button: starts the test on the selected device or stops it.
    void vOnHornClicked();

    // The camera's answers (UI thread; the window's bridge queues them here). Flip
    // entries 0..3; day/night as the device reports it: 0 auto, 1 night, 2 day.
    void vSetFlip(int entry);
    void vSetDayNight(int value);

    // Recording of the video channel ("Video monitoring" of the window's menu).
    void vSetMonitorRecording(bool on);
    bool fgMonitorRecording() const { return m_live.fgVideoRecording(); }
    // Recording of the listen channel as raw PCM ("When listening the tape").
    void vSetListenRecording(bool on);
    bool fgListenRecording() const { return m_live.fgListenRecording(); }
    // The folder recordings go to (the writable folder unless set), with a trailing
    // separator.
    void vSetRecordDir(const std::string& folder) { m_strRecordDir = folder; }
    // The name the next video recording takes (empty before the first start).
    std::string strVideoRecordName() const;
    // The name the next listen recording takes (empty before the first start).
    std::string strListenRecordName() const;
    // The folder the horn test's sound file is looked for in first (the program's).
    void vSetProgramDir(const std::string& folder) { m_strProgramDir = folder; }

    bool fgPlaying() const { return m_fgPlaying; }
    bool fgFullScreen() const { return m_fgFullScreen; }
    bool fgListening() const { return m_fgListening; }
    SAudioStats sAudioStats() const { return m_live.sAudioStats(); }
    std::uint32_t uiPlayedAddr() const { return m_uiPlayedAddr; }

    CVideoWnd* pVideoWnd() const { return m_pVideo; }
    QPushButton* pPlayButton() const { return m_pPlay; }
    QPushButton* pListenButton() const { return m_pListen; }
    QPushButton* pHornButton() const { return m_pHorn; }
    QComboBox* pStreamCombo() const { return m_pStream; }
    QComboBox* pFlipCombo() const { return m_pFlip; }
    QComboBox* pDayNightCombo() const { return m_pDayNight; }
    QLabel* pCurrentDevice() const { return m_pCurrentDevice; }
    QPushButton* pHoldButton(EHoldButton button) const { return m_holdButtons.at(button); }

    // CScaledPage.
    void vTabRefresh(ETabRefresh cause) override;
    void vOnDeviceChosen(EDevChoice choice, const CDevInfo& devInfo) override;
    void vOnEnterKey() override;
    void vOnEscapeKey() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // ILiveView.
    void vOnPictureReady() override;
    void vOnVideoLoginFailed(std::int32_t result) override;
    void vOnRecordingStarted(EStreamChannel channel, const std::string& path) override;
    void vOnRecordingCut(EStreamChannel channel, const CRecordingEnd& end) override;
    // IHornView.
    void vOnHornDone(const CHornResult& result) override;

    void vCreateControls();
    void vOnPlayClicked();
    void vOnStreamChanged();
    void vOnListenClicked();
    std::string strPassword() const;
    void vShowVideoMenu(QPoint globalPos);
    void vLeaveFullScreen();
    // Login check of the selected device, then the request to it.
    void vSendToSelected(const CmdBytes& request);
    // The request to the current device record, without a check; nothing without one.
    void vSendToCurrent(const CmdBytes& request);
    void vMotorControl(int direction);
    void vHoldButtonEvent(QPoint globalPos, bool press);

    CStation* m_pStation;
    CQtPcmSink m_pcmSink;
    CLiveSession m_live{&m_pcmSink, static_cast<ILiveView&>(*this)};
    std::unique_ptr<CStationHornLink> m_hornLink;
    std::unique_ptr<CHornTest> m_horn;

    CVideoWnd* m_pVideo = nullptr;
    QLabel* m_pCurrentDevice = nullptr;
    QPushButton* m_pPlay = nullptr;
    QPushButton* m_pListen = nullptr;
    QPushButton* m_pHorn = nullptr;
    QComboBox* m_pStream = nullptr;
    QComboBox* m_pDayNight = nullptr;
    QComboBox* m_pFlip = nullptr;
    std::array<QPushButton*, 8> m_holdButtons{};

    bool m_fgPlaying = false;
    bool m_fgListening = false;
    bool m_fgFullScreen = false;
    QRect m_savedVideoRect;
    std::atomic<std::uint32_t> m_uiPlayedAddr{0};
    std::string m_strRecordDir;
    std::string m_strProgramDir;
};
