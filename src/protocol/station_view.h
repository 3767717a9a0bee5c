#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Everything the station core asks of the window and its pages. The GUI implements
// it; the CLI and the tests implement what they need (every method has an empty
// default).
//
// Thread rule: the reply dispatcher calls these on the transport's receive thread,
// the operator's actions on the UI thread. An implementation must return at once
// and never wait for the operator: a GUI queues the call onto its UI thread,
// carrying the values given (never pointers into network buffers).
class IStationView {
  public:
    virtual ~IStationView() = default;

    // Result pane: text appended exactly as given (most lines begin with "\r\n").
    virtual void vAppendResult(const std::string& text) { (void)text; }
    // A box with the translated caption "TIPS" and OK, shown without blocking.
    virtual void vShowMessage(const std::string& text) { (void)text; }

    // A discovery reply was queued: drain the discovery queue soon (every 20 ms
    // until CStation::iDrainDiscoveryQueue reports it empty).
    virtual void vOnDiscoveryQueued() {}
    // The device list must be refreshed as by "Refresh List" (run CStation::vRefresh
    // on the UI thread).
    virtual void vRequestRefresh() {}

    // Wi-Fi list and status line of the main window.
    virtual void vAddWifiRow(const std::string& ssid, int intensity, int encryption) {
        (void)ssid, (void)intensity, (void)encryption;
    }
    // "Connected Wifi:  <ssid>" or, for an empty ssid, "Not connected".
    virtual void vSetWifiStatus(const std::string& ssid) { (void)ssid; }
    // The Wi-Fi status polling ended (result received); stop its timer.
    virtual void vStopWifiPoll() {}
    // The Wi-Fi connect result line, shown in a box as well.
    virtual void vShowWifiResult(const std::string& text) { (void)text; }

    // Device-kind text of the main window ("fullview dev", "Gateway Dev", or empty).
    virtual void vSetDeviceTypeText(const std::string& text) { (void)text; }
    // Device info page: the three detector check boxes of a login reply.
    virtual void vSetDetectorFlags(bool first, bool second, bool third) {
        (void)first, (void)second, (void)third;
    }

    // Motor page fields.
    virtual void vFillMotorTimer(int first, int second) { (void)first, (void)second; }
    virtual void vFillMotorPos(int first, int second) { (void)first, (void)second; }
    // Video parameters page: the four words of a video parameters reply.
    virtual void vFillVideoParams(const std::array<std::uint32_t, 4>& words) { (void)words; }
    // Live view page drop-down lists: flip 0..3, day/night 0..2.
    virtual void vSetFlip(int entry) { (void)entry; }
    virtual void vSetDayNight(int entry) { (void)entry; }
    // A camera action was acknowledged with action code 11: a calibration runs; the
    // window checks on it after 1200 ms.
    virtual void vStartCalibrationTimer() {}

    // Sensor page.
    virtual void vSensorTestEnable() {}
    // A test (calibration = false) or calibration result: 56 bytes whose first 32
    // hold the sensor name in the local code page.
    virtual void vSensorResult(const std::array<std::uint8_t, 56>& result, bool calibration) {
        (void)result, (void)calibration;
    }
    // Learning ended: success with the new sensor's index, or failure.
    virtual void vSensorLearnDone(bool success, std::uint32_t newIndex) {
        (void)success, (void)newIndex;
    }
    // The sensor list: entries of 40 bytes each, as the device sent them.
    virtual void vSensorList(const std::vector<std::array<std::uint8_t, 40>>& entries) {
        (void)entries;
    }
    // Open the sensor name dialog for the device at addressText (a learned sensor).
    virtual void vOpenSensorNameDialog(const std::string& addressText) { (void)addressText; }

    // Default configuration page.
    virtual void vShowConfigText(const std::string& text) { (void)text; }
    virtual void vShowKeyFunctions(const std::array<std::uint32_t, 4>& codes) { (void)codes; }
    virtual void vRefreshDefaultConfig() {}

    // Device log page: one text the device printed.
    virtual void vShowLogText(const std::string& text) { (void)text; }
};
