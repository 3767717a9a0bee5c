#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>

#include "protocol/camera_feature.h"
#include "protocol/login_feature.h"
#include "protocol/station_view.h"

class CclientDlg;
class CStation;

// The station's view of the main window: results, boxes, the device list's refresh,
// and the views of the features whose effects the window itself shows (login and
// Wi-Fi, the live view's image settings). The station calls it
// on the receive thread (and on the UI thread); every call is queued onto the UI
// thread with copies of its values and returns at once, so the receive thread never
// waits for the window. Calls that arrive while no window is attached are dropped.
//
// Lives on the UI thread and must outlive the station and the transport.
class CStationViewBridge final : public QObject,
                                 public IStationView,
                                 public ILoginView,
                                 public ICameraView {
    Q_OBJECT

  public:
    explicit CStationViewBridge(QObject* parent = nullptr);

    // The window the calls go to (nullptr: none). UI thread only.
    void vAttach(CclientDlg* window) { m_window = window; }
    // Registers the bridge as the view of the features it serves, and keeps the station
    // to look up the device of a result for the history.
    void vAttachViews(CStation& station);

    // IStationView.
    void vOnResult(const CCmdResult& result) override;
    void vShowMessage(const std::string& text) override;
    // Many replies of one burst start the drain once.
    void vOnDiscoveryQueued() override;
    void vRequestRefresh() override;

    // ILoginView.
    void vAddWifiRow(const std::string& ssid, int intensity, int encryption) override;
    void vSetWifiStatus(const std::string& ssid) override;
    void vStopWifiPoll() override;
    void vShowWifiResult(const std::string& text) override;
    void vSetDeviceTypeText(const std::string& text) override;
    // Shown by the device info page, whichever device sent them.
    void vSetDetectorFlags(bool first, bool second, bool third) override;

    // ICameraView: flip and day/night go to the live view page.
    void vSetFlip(int entry) override;
    void vSetDayNight(int value) override;
    void vStartCalibrationTimer() override;

  private:
    template <typename Call>
    void vPost(Call call);

    QPointer<CclientDlg> m_window;         // read on the UI thread only
    const CStation* m_pStation = nullptr;  // set before the transport starts
    std::atomic<bool> m_fgDrainPosted{false};
};
