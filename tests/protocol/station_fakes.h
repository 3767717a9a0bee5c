#pragma once

// Fakes of the station's two neighbours, shared by the station core tests: a sender
// that records every datagram with its target, and a view that records every call
// as one readable event line. Plus helpers that build device records and replies.

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "net/lan_interfaces.h"
#include "protocol/cmd_header.h"
#include "protocol/dev_info.h"
#include "protocol/station.h"

// One datagram handed to the sender.
struct CSentDatagram {
    enum class EPath { kToDev, kByIpStr };
    EPath m_ePath = EPath::kToDev;
    std::uint32_t m_uiAddr = 0;  // kToDev: the target address (network byte order)
    std::string m_strIp;         // kByIpStr: the target text
    std::uint16_t m_usPort = 0;  // kToDev: always the command port
    bool m_fgBroadcast = false;
    std::vector<std::uint8_t> m_bytes;

    // The target as dotted text, whichever path was used.
    std::string strTarget() const {
        return m_ePath == EPath::kToDev ? strIpText(m_uiAddr) : m_strIp;
    }
};

class CFakeSender : public IUdpSender {
  public:
    int iSendUdpToDev(std::uint32_t addrNet, std::span<const std::uint8_t> data) override {
        vRecord({CSentDatagram::EPath::kToDev,
                 addrNet,
                 {},
                 kPortCommand,
                 false,
                 {data.begin(), data.end()}});
        return 0;
    }
    bool fgSendUdpByIpStr(const std::string& ip, std::uint16_t port,
                          std::span<const std::uint8_t> data, bool broadcast) override {
        vRecord(
            {CSentDatagram::EPath::kByIpStr, 0, ip, port, broadcast, {data.begin(), data.end()}});
        return true;
    }
    void vSearchDev() override {
        std::lock_guard guard(m_lock);
        ++m_iSearches;
    }

    std::vector<CSentDatagram> vecSent() const {
        std::lock_guard guard(m_lock);
        return m_sent;
    }
    int iSearches() const {
        std::lock_guard guard(m_lock);
        return m_iSearches;
    }
    void vClear() {
        std::lock_guard guard(m_lock);
        m_sent.clear();
        m_iSearches = 0;
    }
    // Called after each datagram is recorded, outside the lock (a device's answer).
    std::function<void(const CSentDatagram&)> m_onSend;

  private:
    void vRecord(CSentDatagram datagram) {
        {
            std::lock_guard guard(m_lock);
            m_sent.push_back(datagram);
        }
        if (m_onSend) {
            m_onSend(datagram);
        }
    }

    mutable std::mutex m_lock;
    std::vector<CSentDatagram> m_sent;
    int m_iSearches = 0;
};

// Records the station's results (as the pane's lines) and every call of every
// feature's view as one event line. vAttachViews makes it the view of every feature.
class CFakeView : public IStationView,
                  public ILoginView,
                  public ICameraView,
                  public IMotorView,
                  public IVideoParamView,
                  public ISensorView,
                  public IConfigView,
                  public ILogView {
  public:
    void vAttachViews(CStation& station) {
        station.login().vSetView(this);
        station.camera().vSetView(this);
        station.motor().vSetView(this);
        station.videoParam().vSetView(this);
        station.sensor().vSetView(this);
        station.config().vSetView(this);
        station.log().vSetView(this);
    }
    void vOnResult(const CCmdResult& result) override {
        std::lock_guard guard(m_lock);
        m_results.push_back("\r\n" + strFormatResult(result));
        m_resultValues.push_back(result);
    }
    void vShowMessage(const std::string& text) override { vEvent("message " + text); }
    void vOnDiscoveryQueued() override { vEvent("discoveryQueued"); }
    void vRequestRefresh() override { vEvent("refresh"); }
    void vAddWifiRow(const std::string& ssid, int intensity, int encryption) override {
        vEvent("wifiRow " + ssid + " " + std::to_string(intensity) + " " +
               std::to_string(encryption));
    }
    void vSetWifiStatus(const std::string& ssid) override { vEvent("wifiStatus " + ssid); }
    void vStopWifiPoll() override { vEvent("stopWifiPoll"); }
    void vShowWifiResult(const std::string& text) override { vEvent("wifiResult " + text); }
    void vSetDeviceTypeText(const std::string& text) override { vEvent("deviceType " + text); }
    void vSetDetectorFlags(bool first, bool second, bool third) override {
        vEvent("detectors " + std::to_string(first) + std::to_string(second) +
               std::to_string(third));
    }
    void vFillMotorTimer(int first, int second) override {
        vEvent("motorTimer " + std::to_string(first) + " " + std::to_string(second));
    }
    void vFillMotorPos(int first, int second) override {
        vEvent("motorPos " + std::to_string(first) + " " + std::to_string(second));
    }
    void vFillVideoParams(const std::array<std::uint32_t, 4>& words) override {
        vEvent("videoParams " + std::to_string(words[0]) + " " + std::to_string(words[1]) + " " +
               std::to_string(words[2]) + " " + std::to_string(words[3]));
    }
    void vSetFlip(int entry) override { vEvent("flip " + std::to_string(entry)); }
    void vSetDayNight(int entry) override { vEvent("dayNight " + std::to_string(entry)); }
    void vStartCalibrationTimer() override { vEvent("calibrationTimer"); }
    void vSensorTestEnable() override { vEvent("sensorTestEnable"); }
    void vSensorResult(const std::array<std::uint8_t, 56>& result, bool calibration) override {
        const std::string name(reinterpret_cast<const char*>(result.data()));
        vEvent(std::string(calibration ? "calibrationResult " : "testResult ") + name + " " +
               std::to_string(result[32]));
    }
    void vSensorLearnDone(bool success, std::uint32_t newIndex) override {
        vEvent("learnDone " + std::to_string(success) + " " + std::to_string(newIndex));
    }
    void vSensorList(const std::vector<std::array<std::uint8_t, 40>>& entries) override {
        std::string event = "sensorList " + std::to_string(entries.size());
        for (const auto& entry : entries) {
            event += ' ';
            event += std::to_string(entry[0]);
        }
        vEvent(event);
    }
    void vOpenSensorNameDialog(const std::string& addressText) override {
        vEvent("sensorNameDialog " + addressText);
    }
    void vShowConfigText(const std::string& text) override { vEvent("configText " + text); }
    void vShowKeyFunctions(const std::array<std::uint32_t, 4>& codes) override {
        vEvent("keyFunctions " + std::to_string(codes[0]) + " " + std::to_string(codes[1]) + " " +
               std::to_string(codes[2]) + " " + std::to_string(codes[3]));
    }
    void vRefreshDefaultConfig() override { vEvent("refreshDefaultConfig"); }
    void vShowLogText(const std::string& text) override { vEvent("logText " + text); }

    std::vector<std::string> vecResults() const {
        std::lock_guard guard(m_lock);
        return m_results;
    }
    std::vector<CCmdResult> vecResultValues() const {
        std::lock_guard guard(m_lock);
        return m_resultValues;
    }
    std::vector<std::string> vecEvents() const {
        std::lock_guard guard(m_lock);
        return m_events;
    }
    void vClear() {
        std::lock_guard guard(m_lock);
        m_results.clear();
        m_resultValues.clear();
        m_events.clear();
    }

  private:
    void vEvent(std::string event) {
        std::lock_guard guard(m_lock);
        m_events.push_back(std::move(event));
    }

    mutable std::mutex m_lock;
    std::vector<std::string> m_results;
    std::vector<CCmdResult> m_resultValues;
    std::vector<std::string> m_events;
};

// The address of dotted text, network byte order (the text must be an address).
inline std::uint32_t uiAddr(const std::string& text) {
    std::uint32_t addrNet = 0;
    fgParseIp(text, addrNet);
    return addrNet;
}

// A device record as a drained discovery reply gives it.
inline CDevInfo sMakeDev(const std::string& ip, const std::string& uid = {},
                         const std::string& version = {}) {
    CDevInfo devInfo;
    devInfo.m_strIp = ip;
    devInfo.m_uiIpAddr = uiAddr(ip);
    devInfo.m_strUid = uid;
    devInfo.m_strVersion = version;
    return devInfo;
}

// A reply: the 16-byte header (start byte 0xA8) followed by payload.
struct CReplyFields {
    std::uint8_t m_byType = 0;
    std::uint8_t m_byParam = 0;
    std::uint16_t m_usPayloadLen = 0;
    std::uint32_t m_uiWordA = 0;
    std::uint32_t m_uiWordB = 0;
    std::array<std::uint8_t, 3> m_abyExtra{};
    std::vector<std::uint8_t> m_payload{};
};

inline std::vector<std::uint8_t> bufReply(const CReplyFields& reply) {
    std::vector<std::uint8_t> datagram(kCmdHeaderBytes, 0);
    CCmdHeader header;
    header.m_byCode = reply.m_byType;
    header.m_byParam = reply.m_byParam;
    header.m_usPayloadLen = reply.m_usPayloadLen;
    header.m_uiWordA = reply.m_uiWordA;
    header.m_uiWordB = reply.m_uiWordB;
    header.m_abyExtra = reply.m_abyExtra;
    iWriteCmdHeader(datagram, header);
    datagram.insert(datagram.end(), reply.m_payload.begin(), reply.m_payload.end());
    return datagram;
}

// A 240-byte discovery reply carrying a UID and a version text.
inline std::vector<std::uint8_t> bufDiscoveryReply(const std::string& uid,
                                                   const std::string& version = "V1.0") {
    std::vector<std::uint8_t> reply(kDiscoveryReplyBytes, 0);
    reply[0] = kCmdStartByte;
    reply[1] = kReplyDiscovery;
    vPutTextField(reply, 164, 32, uid, ETextCut::kTerminated);
    vPutTextField(reply, 196, 32, version, ETextCut::kTerminated);
    return reply;
}
