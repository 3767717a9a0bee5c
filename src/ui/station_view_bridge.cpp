#include "ui/station_view_bridge.h"

#include "app/translate.h"
#include "protocol/station.h"
#include "ui/client_dlg.h"
#include "ui/pages/dlg_dev_info.h"
#include "ui/pages/dlg_video.h"
#include "ui/ui_helpers.h"
#include "ui/window_history.h"

namespace {
QString strQ(const std::string& text) {
    return QString::fromStdString(text);
}
}  // namespace

CStationViewBridge::CStationViewBridge(QObject* parent) : QObject(parent) {}

template <typename Call>
void CStationViewBridge::vPost(Call call) {
    QMetaObject::invokeMethod(
        this,
        [this, call = std::move(call)] {
            if (!m_window.isNull()) {
                call(*m_window);
            }
        },
        Qt::QueuedConnection);
}

void CStationViewBridge::vAttachViews(CStation& station) {
    m_pStation = &station;
    station.login().vSetView(this);
    station.camera().vSetView(this);
}

void CStationViewBridge::vOnResult(const CCmdResult& result) {
    // The device as it is now: the list the UI thread holds may be searched again (and
    // emptied meanwhile) before this result reaches it.
    std::optional<CSettingReply> setting = sSettingReply(result.m_iCode);
    std::optional<CDevInfo> device;
    if (CDevInfo known; setting && m_pStation != nullptr &&
                        m_pStation->registry().fgGetDevInfoByIp(known, result.m_uiAddr)) {
        device = std::move(known);
    }
    vPost([result, setting, device = std::move(device),
           text = strQ("\r\n" + strFormatResult(result))](CclientDlg& window) {
        window.PrintLog(text);
        if (setting && result.m_uiAddr != 0) {
            windowHistory(window).vRecordSetting(result, *setting, device);
        }
    });
}

void CStationViewBridge::vShowMessage(const std::string& text) {
    vPost([text = strQ(text)](CclientDlg& window) { vShowTipsBox(&window, text); });
}

void CStationViewBridge::vOnDiscoveryQueued() {
    if (m_fgDrainPosted.exchange(true)) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_fgDrainPosted = false;
            if (!m_window.isNull()) {
                m_window->vOnDiscoveryQueued();
            }
        },
        Qt::QueuedConnection);
}

void CStationViewBridge::vRequestRefresh() {
    vPost([](CclientDlg& window) { window.vRefresh(); });
}

void CStationViewBridge::vAddWifiRow(const std::string& ssid, int intensity, int encryption) {
    vPost([ssid = strQ(ssid), intensity, encryption](CclientDlg& window) {
        window.vAddWifiRow(ssid, intensity, encryption);
    });
}

void CStationViewBridge::vSetWifiStatus(const std::string& ssid) {
    vPost([ssid = strQ(ssid)](CclientDlg& window) { window.vSetWifiStatus(ssid); });
}

void CStationViewBridge::vStopWifiPoll() {
    vPost([](CclientDlg& window) { window.vStopWifiPoll(); });
}

void CStationViewBridge::vShowWifiResult(const std::string& text) {
    // The result line starts a new line in the pane; the box shows it without that.
    vPost([text = strQ(text).trimmed()](CclientDlg& window) {
        vShowBox(&window, QString::fromStdString(strTranslate("Kestrel")), text);
    });
}

void CStationViewBridge::vSetDeviceTypeText(const std::string& text) {
    vPost([text = strQ(text)](CclientDlg& window) { window.vSetDeviceTypeText(text); });
}

void CStationViewBridge::vSetFlip(int entry) {
    vPost([entry](CclientDlg& window) {
        if (auto* page = qobject_cast<CDlgVideo*>(window.pPage(kTabLiveView))) {
            page->vSetFlip(entry);
        }
    });
}

void CStationViewBridge::vSetDayNight(int value) {
    vPost([value](CclientDlg& window) {
        if (auto* page = qobject_cast<CDlgVideo*>(window.pPage(kTabLiveView))) {
            page->vSetDayNight(value);
        }
    });
}

void CStationViewBridge::vSetDetectorFlags(bool first, bool second, bool third) {
    vPost([first, second, third](CclientDlg& window) {
        if (auto* page = qobject_cast<CDlgDevInfo*>(window.pPage(kTabDevInfo)); page != nullptr) {
            page->vSetDetectorFlags(first, second, third);
        }
    });
}

void CStationViewBridge::vStartCalibrationTimer() {
    vPost([](CclientDlg& window) { window.vStartCalibration(); });
}
