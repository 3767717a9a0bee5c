#pragma once

// The main window in front of a simulated fleet on loopback, as the program runs it:
// the window, a real transport bound to 127.0.0.1/8, the station core, the firmware
// upgrader and the bridges.
// The fleet's devices are 127.0.0.2, 127.0.0.3, ... Needs the test's private network
// namespace (fgPrivateNetwork), since the transport binds the fixed protocol ports.

#include <QTest>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "devsim/dev_sim_fleet.h"
#include "protocol/lan_station.h"
#include "protocol/station.h"
#include "ui/client_dlg.h"
#include "ui/device_list_model.h"
#include "ui/device_list_view.h"
#include "ui/station_view_bridge.h"
#include "ui/upgrade_bridge.h"
#include "upgrade/upgrader.h"

class CFleetWindow {
  public:
    static constexpr int kWaitMs = 5000;

    using FChangeDevice =
        std::function<void(std::size_t index, devsim::CSimDeviceState&, devsim::CSimBehaviour&)>;

    CFleetWindow() = default;
    CFleetWindow(const CFleetWindow&) = delete;
    CFleetWindow& operator=(const CFleetWindow&) = delete;

    ~CFleetWindow() {
        if (m_lan) {
            m_lan->vStop();
        }
        m_upgradeBridge.vAttach(nullptr);
        if (m_window) {
            m_window->vSetUpgrader(nullptr);
        }
        m_upgrader.reset();
        m_bridge.vAttach(nullptr);
        m_window.reset();
        m_lan.reset();
        if (m_fleet) {
            m_fleet->vStop();
        }
    }

    // Starts `devices` devices (each first changed by change, when given), opens the
    // window and waits until every device is listed and the automatic sort has run.
    // Empty, or what went wrong.
    std::string strStart(std::size_t devices, const FChangeDevice& change = {}) {
        std::string error;
        devsim::CDevSimConfig config;
        config.m_addresses = *devsim::sConsecutiveAddresses("127.0.0.2", devices, error);
        m_fleet.emplace(config);
        if (change) {
            for (std::size_t index = 0; index < devices; ++index) {
                m_fleet->vUpdateDevice(index, [&change, index](devsim::CSimDeviceState& state,
                                                               devsim::CSimBehaviour& behaviour) {
                    change(index, state, behaviour);
                });
            }
        }
        if (m_fleet->iStart(error) != 0) {
            return error;
        }
        CInterfaceAddr loopback;
        fgParseIp("127.0.0.1", loopback.m_uiAddr);
        fgParseIp("255.0.0.0", loopback.m_uiMask);
        m_lan.emplace(m_bridge);
        m_bridge.vAttachViews(m_lan->station());
        m_upgrader.emplace(m_lan->transport(), m_upgradeBridge);
        m_lan->transport().vSetUpgradeAcceptHandler(m_upgrader->fnAcceptHandler());
        m_window.emplace(&*m_lan, &m_lan->station(), std::vector<CInterfaceAddr>{loopback});
        m_window->vSetUpgrader(&*m_upgrader);
        m_bridge.vAttach(&*m_window);
        m_upgradeBridge.vAttach(&*m_window);
        m_window->vInitDialog();
        const int expected = static_cast<int>(devices);
        if (!QTest::qWaitFor([this, expected] { return model().rowCount() == expected; },
                             kWaitMs)) {
            return "not every device was listed";
        }
        if (!QTest::qWaitFor([this] { return !m_window->fgTimerActive(EDlgTimer::kSort); })) {
            return "the list was not sorted";
        }
        return {};
    }

    devsim::CDevSimFleet& fleet() { return *m_fleet; }
    CStation& station() { return m_lan->station(); }
    CDevRegistry& registry() { return m_lan->station().registry(); }
    CclientDlg& window() { return *m_window; }
    CDevListModel& model() { return *m_window->pDevListModel(); }
    CDevListView& view() { return *m_window->pDevList(); }

    std::string strIp(int row) {
        return model().index(row, CDevListModel::kColIp).data().toString().toStdString();
    }
    // The row that shows the device at ip, or -1.
    int iRowOf(const std::string& ip) {
        for (int row = 0; row < model().rowCount(); ++row) {
            if (strIp(row) == ip) {
                return row;
            }
        }
        return -1;
    }
    void vClickRow(int row) {
        const QRect cell = view().visualRect(model().index(row, CDevListModel::kColIp));
        QTest::mouseClick(view().viewport(), Qt::LeftButton, {}, cell.center());
    }
    // Clicks the row of the device at ip and waits for its login answer.
    bool fgSelectAndLogIn(const std::string& ip) {
        const int row = iRowOf(ip);
        if (row < 0) {
            return false;
        }
        vClickRow(row);
        return QTest::qWaitFor(
            [this, row] {
                const std::optional<CDevInfo> devInfo = registry().sRow(row);
                return devInfo && devInfo->m_iLoginState == kLoginAccepted;
            },
            kWaitMs);
    }

  private:
    std::optional<devsim::CDevSimFleet> m_fleet;
    CStationViewBridge m_bridge;
    CUpgradeBridge m_upgradeBridge;
    std::optional<CLanStation> m_lan;
    std::optional<CUpgrader> m_upgrader;
    std::optional<CclientDlg> m_window;
};
