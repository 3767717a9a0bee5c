#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>

#include "protocol/station_view.h"

class CclientDlg;

// The station's view of the window. The station calls it on the receive thread (and
// on the UI thread); every call is queued onto the UI thread with copies of its
// values and returns at once, so the receive thread never waits for the window. Calls
// that arrive while no window is attached are dropped.
//
// Lives on the UI thread and must outlive the station and the transport.
class CStationViewBridge final : public QObject, public IStationView {
    Q_OBJECT

  public:
    explicit CStationViewBridge(QObject* parent = nullptr);

    // The window the calls go to (nullptr: none). UI thread only.
    void vAttach(CclientDlg* window) { m_window = window; }

    void vAppendResult(const std::string& text) override;
    void vShowMessage(const std::string& text) override;
    // Many replies of one burst start the drain once.
    void vOnDiscoveryQueued() override;
    void vRequestRefresh() override;
    void vAddWifiRow(const std::string& ssid, int intensity, int encryption) override;
    void vSetWifiStatus(const std::string& ssid) override;
    void vStopWifiPoll() override;
    void vShowWifiResult(const std::string& text) override;
    void vSetDeviceTypeText(const std::string& text) override;
    void vStartCalibrationTimer() override;
    // The dialog runs on the UI thread; the receive thread goes on receiving.
    void vOpenSensorNameDialog(const std::string& addressText) override;

  private:
    template <typename Call>
    void vPost(Call call);

    QPointer<CclientDlg> m_window;  // read on the UI thread only
    std::atomic<bool> m_fgDrainPosted{false};
};
