#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "app/que_buffer.h"
#include "net/lan_interfaces.h"
#include "protocol/dev_registry.h"
#include "protocol/discovery_queue.h"
#include "protocol/requests.h"
#include "protocol/station_view.h"

// Where a generic command goes.
enum class ECmdTarget { kSelected = 0, kPool = 1 };

// The station core: the device registry with its pool, the discovery queue, the reply
// dispatcher and the requests the window and its pages send. It sends through an
// IUdpSender and reports through an IStationView; it knows no window system.
//
// Threads: vOnDatagram and vOnAnnouncement run on the transport's receive thread;
// everything else on the operator's thread (the UI thread of the window, the main
// thread of the CLI). The timer steps (iDrainDiscoveryQueue, fgSortTick,
// fgWifiPollTick) are called by the owner's timers at the periods given.
class CStation : public ILanReceiver {
  public:
    static constexpr int kSortCountdownTicks = 6;  // ticks of 50 ms without a new device
    static constexpr int kWifiPollCount = 10;      // status queries, one per 4 s
    static constexpr int kLoginAttempts = 6;       // 40 ms waits of the login check
    static constexpr int kLoginWaitMs = 40;
    static constexpr int kSetUidRefreshEvery = 20;  // set-UID successes per full refresh

    CStation(IUdpSender& sender, IStationView& view);
    CStation(const CStation&) = delete;
    CStation& operator=(const CStation&) = delete;

    CDevRegistry& registry() { return m_registry; }
    const CDevRegistry& registry() const { return m_registry; }
    // The transport the station's requests leave through, for a dialog that sends its
    // own requests (the sensor name).
    IUdpSender& sender() { return m_sender; }

    // ILanReceiver.
    void vOnDatagram(std::span<const std::uint8_t> data, const CEndpoint& from) override;
    void vOnAnnouncement(std::span<const std::uint8_t> data, const CEndpoint& from) override;

    // The reply dispatcher and the announcement handler, by sender address.
    void vParseLanInfo(std::span<const std::uint8_t> datagram, std::uint32_t senderNet);
    void vParseIpcToNvrInfo(std::span<const std::uint8_t> datagram, std::uint32_t senderNet);
    // The result line of a code for the device at addrNet (0: the selected device).
    void vShowCmdResult(std::uint32_t addrNet, int code);

    // Result pane forms.
    void PrintLog(const std::string& text);
    void PrintLogKey(const std::string& key);
    void PrintLogKey(const std::string& key, const std::string& addressText);
    void PrintLogKey(const std::string& key, std::uint32_t addrNet);

    // The password of the password box; the login request sends it ("kavno" when empty).
    void vSetPassword(const std::string& password);
    std::string strPassword() const;

    // "Refresh List" without its window parts: selection, registry and pool emptied,
    // filter off, search sent, sort countdown restarted. The owner sends the second
    // search after 100 ms (vSearch) and runs fgSortTick every 50 ms.
    void vRefresh();
    void vSearch();

    // Timer steps. iDrainDiscoveryQueue turns up to 30 queued replies into records and
    // returns how many are still queued. fgSortTick returns false once the sort has
    // run (the timer stops). fgWifiPollTick sends one status query and returns false
    // when the polling is over.
    int iDrainDiscoveryQueue();
    bool fgSortTick();
    bool fgWifiPollTick();
    int iDiscoveryQueued() const { return m_discoveryQueue.iCount(); }

    // Row operations of the device list. vSelectRow is a click on a row: it becomes the
    // only ticked row and the selection, and a login request goes out. Returns the
    // record shown, or nothing when the row has none.
    std::optional<CDevInfo> sSelectRow(int row);
    // A click on a row's check box, which is now ticked or not.
    void vToggleRowCheck(int row, bool ticked);
    // "Select/deselect": every row into the pool, or the pool emptied.
    void vSelectAll(bool ticked);
    // A click on a column header: column 1 sorts by UID, the others by address.
    void vSortByColumn(int column);

    // The login request (command 2) to one device.
    void vLoginRequest(std::uint32_t addrNet, ELoginOrigin origin);
    // The login check of the selected device: up to two login requests and six 40 ms
    // waits. On true, ipText (when given) holds the device's IP text.
    bool fgSelectDevIsLogin(std::string* ipText = nullptr);

    // Generic senders: a header with code and parameter byte plus payload, to the
    // selected device or to every pooled device; the extended command to the selected
    // device.
    void vSendCmd(std::uint8_t code, std::uint8_t param, std::span<const std::uint8_t> payload,
                  ECmdTarget target);
    void vSendExtCmd(std::span<const std::uint8_t> payload, std::uint32_t subCmd);
    // Sends a built request to the device's command port; false when nothing left.
    bool fgSendToDev(const std::string& ipText, std::span<const std::uint8_t> request);

    // Requests of the main window, each after the login check where the device needs
    // one. They return false when nothing was sent.
    bool fgFormatSd();
    bool fgModifyPassword(const std::string& newPassword);
    // Asks the selected device to build its whole flash image ("All files").
    bool fgMakeUpgradeFile();
    // Connects the selected device to a network and starts the status polling.
    bool fgConnectWifi(const std::string& ssidUtf8, std::uint32_t encryption,
                       const std::string& password);
    bool fgSetUid(const std::string& uid);

    // State the dispatcher reads, set by the pages before their requests.
    void vSetConfigItemKind(int kind);
    void vSetMacRequestPending(bool pending);
    int iSetUidSuccessCount() const;
    int iWifiPollCountdown() const;
    // Whether the last Wi-Fi result came from the selected device.
    bool fgWifiConnected() const;
    bool fgCalibrating() const;
    std::uint32_t uiCalibrationAddr() const;
    void vEndCalibration();

  private:
    void vParseDevInfo(std::span<const std::uint8_t> datagram, std::uint32_t senderNet);
    void vLoginReply(std::span<const std::uint8_t> datagram, std::uint32_t senderNet,
                     bool accepted);
    void vWifiResult(std::span<const std::uint8_t> datagram, std::uint32_t senderNet);
    void vAbilityReply(std::span<const std::uint8_t> datagram, std::uint32_t senderNet);
    void vSensorResult(std::span<const std::uint8_t> datagram, bool calibration);
    std::string strSelectedIp() const;

    IUdpSender& m_sender;
    IStationView& m_view;
    CDevRegistry m_registry;
    CQueBuffer m_discoveryQueue{kDiscoveryQueueCapacity};

    mutable std::mutex m_stateLock;
    std::string m_strPassword;
    std::string m_strLastUid;
    int m_iConfigItemKind = -1;
    bool m_fgMacRequestPending = false;
    std::uint32_t m_uiWifiPollAddr = 0;
    int m_iWifiPollCountdown = 0;
    bool m_fgWifiConnected = false;
    int m_iSetUidSuccess = 0;
    int m_iSortCountdown = 0;
    bool m_fgCalibrating = false;
    std::uint32_t m_uiCalibrationAddr = 0;
};

// The result line of a code for a device, as the result pane shows it; empty when the
// code has a line without text, nullopt when the code has no line at all.
std::optional<std::string> strResultLine(int code, const CDevInfo& devInfo, bool wifiConnected);
