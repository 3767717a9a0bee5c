#pragma once

// Login and Wi-Fi: the login replies with the Wi-Fi list they carry, the capability
// block, the Wi-Fi connect request with its status polling and its results.

#include <cstdint>
#include <mutex>
#include <string>

#include "protocol/reply_router.h"
#include "protocol/requests.h"

class CStation;

// What the login and Wi-Fi replies show. Called on the receive thread; an
// implementation returns at once (a GUI queues the call onto its UI thread).
class ILoginView {
  public:
    virtual ~ILoginView() = default;
    virtual void vAddWifiRow(const std::string& ssid, int intensity, int encryption) = 0;
    // "Connected Wifi:  <ssid>" or, for an empty ssid, "Not connected".
    virtual void vSetWifiStatus(const std::string& ssid) = 0;
    // The Wi-Fi status polling ended (result received); stop its timer.
    virtual void vStopWifiPoll() = 0;
    // The Wi-Fi connect result line, also shown in a box captioned with the program's name.
    virtual void vShowWifiResult(const std::string& text) = 0;
    // Device-kind text of the main window ("fullview dev", "Gateway Dev", or empty).
    virtual void vSetDeviceTypeText(const std::string& text) = 0;
    // The three detector flags of a login reply (device info page).
    virtual void vSetDetectorFlags(bool first, bool second, bool third) = 0;
};

// The Wi-Fi networks a login reply lists: the count it claims, but no more entries
// than the datagram holds.
std::size_t uLoginWifiEntries(const CReplyReader& reply);

class CLoginFeature final : public IReplyHandler {
  public:
    static constexpr int kWifiPollCount = 10;  // status queries, one per 4 s

    explicit CLoginFeature(CStation& station);
    void vSetView(ILoginView* view) { m_view.vSet(view); }

    int iOnReply(const CReplyReader& reply, std::uint32_t senderNet) override;

    // The login request (command 2) to one device, with the station's password.
    void vLoginRequest(std::uint32_t addrNet, ELoginOrigin origin);
    // Connects the selected device to a network and starts the status polling.
    bool fgConnectWifi(const std::string& ssidUtf8, std::uint32_t encryption,
                       const std::string& password);
    // One status query of the polling (every 4 s); false when the polling is over.
    bool fgWifiPollTick();
    int iWifiPollCountdown() const;
    // Whether the last Wi-Fi result came from the selected device.
    bool fgWifiConnected() const;

  private:
    void vLoginReply(const CReplyReader& reply, std::uint32_t senderNet, bool accepted);
    void vWifiResult(const CReplyReader& reply, std::uint32_t senderNet);
    void vAbilityReply(const CReplyReader& reply, std::uint32_t senderNet);

    CStation& m_station;
    CViewSlot<ILoginView> m_view;
    mutable std::mutex m_lock;
    std::uint32_t m_uiWifiPollAddr = 0;
    int m_iWifiPollCountdown = 0;
    bool m_fgWifiConnected = false;
};
