// The reply dispatcher takes any datagram from any host. Whatever its bytes, counts
// and length fields, the station must stay inside the datagram, hand the window only
// what the datagram holds and send only well-formed requests. The registry holds a
// selected, logged-in device so that the paths that need one run too.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "protocol/cmd_header.h"
#include "protocol/station.h"

namespace {

constexpr std::size_t kMaxDatagram = 3072;

std::uint32_t uiAddr(const char* text) {
    std::uint32_t addrNet = 0;
    fgParseIp(text, addrNet);
    return addrNet;
}

void vCheck(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// Every request the dispatcher sends is a command header, at most 1023 bytes.
class CCheckingSender : public IUdpSender {
  public:
    int iSendUdpToDev(std::uint32_t addrNet, std::span<const std::uint8_t> data) override {
        (void)addrNet;
        vCheckRequest(data);
        return 0;
    }
    bool fgSendUdpByIpStr(const std::string& ip, std::uint16_t port,
                          std::span<const std::uint8_t> data, bool broadcast) override {
        (void)ip, (void)port, (void)broadcast;
        vCheckRequest(data);
        return true;
    }
    void vSearchDev() override {}

  private:
    static void vCheckRequest(std::span<const std::uint8_t> data) {
        vCheck(data.size() >= kCmdHeaderBytes && data.size() <= 1023 && data[0] == kCmdStartByte);
    }
};

// What the window and its pages are given can never exceed what the datagram held.
class CCheckingView : public IStationView,
                      public ILoginView,
                      public ICameraView,
                      public IMotorView,
                      public IVideoParamView,
                      public ISensorView,
                      public IConfigView,
                      public ILogView {
  public:
    void vAttach(CStation& station) {
        station.login().vSetView(this);
        station.camera().vSetView(this);
        station.motor().vSetView(this);
        station.videoParam().vSetView(this);
        station.sensor().vSetView(this);
        station.config().vSetView(this);
        station.log().vSetView(this);
    }
    void vSetDatagramBytes(std::size_t datagramBytes) {
        m_payloadBytes = datagramBytes > kCmdHeaderBytes ? datagramBytes - kCmdHeaderBytes : 0;
    }

    void vOnResult(const CCmdResult& result) override {
        vCheck(strFormatResult(result).size() < 512);
    }
    void vAddWifiRow(const std::string& ssid, int intensity, int encryption) override {
        vCheck(ssid.size() <= 127 && intensity >= 0 && intensity <= 0xFFFF && encryption >= 0 &&
               encryption <= 0xFF);
        // Networks are 36 bytes each from offset 20 (4 bytes into the payload).
        vCheck(4 + 36 * ++m_wifiRows <= m_payloadBytes);
    }
    void vSetWifiStatus(const std::string& ssid) override { vCheck(ssid.size() <= 127); }
    void vStopWifiPoll() override {}
    void vShowWifiResult(const std::string& text) override { vCheck(text.size() < 512); }
    void vSetDeviceTypeText(const std::string& text) override { vCheck(text.size() < 64); }
    void vSetDetectorFlags(bool, bool, bool) override {}
    void vSetFlip(int entry) override { vCheck(entry >= 0 && entry <= 3); }
    void vSetDayNight(int entry) override { vCheck(entry >= 0 && entry <= 2); }
    void vStartCalibrationTimer() override {}
    void vFillMotorTimer(int horizontal, int vertical) override {
        vCheck(horizontal >= 0 && horizontal <= 0xFF && vertical >= 0 && vertical <= 0xFF);
    }
    void vFillMotorPos(int horizontal, int vertical) override {
        vCheck(horizontal >= 0 && horizontal <= 0xFFFF && vertical >= 0 && vertical <= 0xFFFF);
    }
    void vFillVideoParams(const std::array<std::uint32_t, 4>&) override {
        vCheck(m_payloadBytes >= 16);
    }
    void vSensorTestEnable() override {}
    void vSensorResult(const std::array<std::uint8_t, 56>& result, bool) override {
        vCheck(result[31] == 0);  // the name stays terminated
    }
    void vSensorLearnDone(bool, std::uint32_t) override {}
    void vSensorList(const std::vector<std::array<std::uint8_t, 40>>& entries) override {
        vCheck(entries.size() * 40 <= m_payloadBytes);
    }
    void vOpenSensorNameDialog(const std::string& addressText) override {
        vCheck(addressText.size() <= 19);
    }
    void vShowConfigText(const std::string& text) override {
        vCheck(text.size() <= m_payloadBytes);
    }
    void vShowKeyFunctions(const std::array<std::uint32_t, 4>&) override {}
    void vRefreshDefaultConfig() override {}
    void vShowLogText(const std::string& text) override {
        vCheck(text.size() <= m_payloadBytes && text.size() < 1024);
    }

    void vResetRows() { m_wifiRows = 0; }

  private:
    std::size_t m_payloadBytes = 0;
    std::size_t m_wifiRows = 0;
};

CDevInfo sMakeDev(const char* ip, const char* uid) {
    CDevInfo devInfo;
    devInfo.m_strIp = ip;
    devInfo.m_uiIpAddr = uiAddr(ip);
    devInfo.m_strUid = uid;
    devInfo.m_strVersion = "V1.0";
    return devInfo;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > kMaxDatagram) {
        return 0;
    }
    const std::span<const std::uint8_t> datagram(data, size);
    CCheckingSender sender;
    CCheckingView view;
    CStation station(sender, view);
    view.vAttach(station);
    station.registry().sAddOrUpdateDevice(sMakeDev("10.0.0.1", "KSTA-000001-ABCDEFGH"));
    station.registry().sAddOrUpdateDevice(sMakeDev("10.0.0.2", "KSTB-000002-ABCDEFGH"));
    station.registry().vSetListSelect(0);
    station.registry().vDevPoolAdd(0, CDevRegistry::EPoolAdd::kIndex);
    station.registry().vSetDevLoginState(uiAddr("10.0.0.1"), kLoginAccepted);
    station.config().vSetConfigItemKind(6);
    station.config().vSetMacRequestPending(true);
    station.login().fgConnectWifi("Lab", 4, "pw");
    station.devCmd().fgSetUid("KSTZ-000026-ZYXWVUTS");

    view.vSetDatagramBytes(size);
    // From the selected device, from another known device, from a stranger.
    for (const char* senderIp : {"10.0.0.1", "10.0.0.2", "10.9.9.9"}) {
        view.vResetRows();
        station.vParseLanInfo(datagram, uiAddr(senderIp));
    }
    station.discovery().iDrainDiscoveryQueue();
    vCheck(station.registry().iRowCount() <= 3);
    return 0;
}
