#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "net/lan_interfaces.h"
#include "protocol/camera_feature.h"
#include "protocol/cmd_result.h"
#include "protocol/config_feature.h"
#include "protocol/dev_cmd_feature.h"
#include "protocol/dev_registry.h"
#include "protocol/discovery_feature.h"
#include "protocol/log_feature.h"
#include "protocol/login_feature.h"
#include "protocol/motor_feature.h"
#include "protocol/reply_router.h"
#include "protocol/requests.h"
#include "protocol/sensor_feature.h"
#include "protocol/station_view.h"
#include "protocol/video_param_feature.h"

// Where a generic command goes.
enum class ECmdTarget { kSelected = 0, kPool = 1 };

// The station core: what every feature shares (the device registry with its selection
// and pool, the login check, the senders, the result lines) and the reply dispatcher,
// which routes each reply type to the feature registered for it. Each feature keeps
// its own requests, reply handling, state and view; the station owns one of each.
// It sends through an IUdpSender and reports through an IStationView; it knows no
// window system.
//
// Threads: vOnDatagram and vOnAnnouncement run on the transport's receive thread;
// everything else on the operator's thread (the UI thread of the window, the main
// thread of the CLI).
class CStation : public ILanReceiver {
  public:
    static constexpr int kLoginAttempts = 6;  // waits of the login check
    static constexpr int kLoginWaitMs = 40;
    static constexpr int kLoginRequests = 2;  // login requests of one check, at most
    // How the login check waits between its looks at the registry; the default sleeps.
    // A window passes a wait that keeps its event loop running.
    using LoginWait = std::function<void(int waitMs)>;

    CStation(IUdpSender& sender, IStationView& view);
    CStation(const CStation&) = delete;
    CStation& operator=(const CStation&) = delete;

    CDevRegistry& registry() { return m_registry; }
    const CDevRegistry& registry() const { return m_registry; }
    // The transport the station's requests leave through.
    IUdpSender& sender() { return m_sender; }
    IStationView& view() { return m_view; }
    CReplyRouter& router() { return m_router; }

    // The features.
    CDiscoveryFeature& discovery() { return m_discovery; }
    CLoginFeature& login() { return m_login; }
    CDevCmdFeature& devCmd() { return m_devCmd; }
    CCameraFeature& camera() { return m_camera; }
    CMotorFeature& motor() { return m_motor; }
    CVideoParamFeature& videoParam() { return m_videoParam; }
    CSensorFeature& sensor() { return m_sensor; }
    CConfigFeature& config() { return m_config; }
    CLogFeature& log() { return m_log; }

    // ILanReceiver.
    void vOnDatagram(std::span<const std::uint8_t> data, const CEndpoint& from) override;
    void vOnAnnouncement(std::span<const std::uint8_t> data, const CEndpoint& from) override;

    // The reply dispatcher: the reply goes to the feature registered for its type (the
    // extended reply by its sub-reply), then the result line of the code the feature
    // returns is written. A type without a feature gets a diagnostic line.
    void vParseLanInfo(std::span<const std::uint8_t> datagram, std::uint32_t senderNet);
    // The result line of a code for the device at addrNet (0: the selected device).
    void vShowCmdResult(std::uint32_t addrNet, int code);
    // Hands a result to the view (the result pane, the CLI's output).
    void vReport(const CCmdResult& result);

    // The password of the password box; the login request sends it ("kavno" when empty).
    void vSetPassword(const std::string& password);
    std::string strPassword() const;
    // nullptr brings back the default sleep (a window going away passes it).
    void vSetLoginWait(LoginWait wait);

    // The address of the device last clicked in the list (network byte order; 0: none),
    // which the sort after a search selects again when the reselection setting is on.
    // Starts as the start-up settings' address. Read from any thread.
    std::uint32_t uiLastSelectAddr() const { return m_uiLastSelectAddr; }
    void vSetLastSelectAddr(std::uint32_t addrNet) { m_uiLastSelectAddr = addrNet; }

    // Row operations of the device list. sSelectRow is a click on a row: it becomes the
    // only ticked row and the selection, and a login request goes out. Returns the
    // record shown, or nothing when the row has none.
    std::optional<CDevInfo> sSelectRow(int row);
    // A click on a row's check box, which is now ticked or not.
    void vToggleRowCheck(int row, bool ticked);
    // "Select/deselect": every row into the pool, or the pool emptied.
    void vSelectAll(bool ticked);
    // A click on a column header: column 1 sorts by UID, the others by address.
    void vSortByColumn(int column);

    // The login check of the selected device: at most two login requests and six
    // 40 ms waits until its login state is known. On true, ipText (when given) holds
    // the device's IP text. A device that does not answer gets the line "login no
    // recv response".
    bool fgSelectDevIsLogin(std::string* ipText = nullptr);

    // Generic senders: a header with code and parameter byte plus payload, to the
    // selected device or to every pooled device; the extended command to the selected
    // device.
    void vSendCmd(std::uint8_t code, std::uint8_t param, std::span<const std::uint8_t> payload,
                  ECmdTarget target);
    void vSendExtCmd(std::span<const std::uint8_t> payload, std::uint32_t subCmd);
    // Sends a built request to the device's command port; false when nothing left.
    bool fgSendToDev(const std::string& ipText, std::span<const std::uint8_t> request);

  private:
    IUdpSender& m_sender;
    IStationView& m_view;
    CDevRegistry m_registry;
    CReplyRouter m_router;

    mutable std::mutex m_stateLock;
    std::string m_strPassword;
    LoginWait m_loginWait;  // guarded by m_stateLock
    std::atomic<std::uint32_t> m_uiLastSelectAddr;

    // Declared after the router they register with.
    CDiscoveryFeature m_discovery{*this};
    CLoginFeature m_login{*this};
    CDevCmdFeature m_devCmd{*this};
    CCameraFeature m_camera{*this};
    CMotorFeature m_motor{*this};
    CVideoParamFeature m_videoParam{*this};
    CSensorFeature m_sensor{*this};
    CConfigFeature m_config{*this};
    CLogFeature m_log{*this};
};
