#include "protocol/login_feature.h"

#include <algorithm>

#include "app/log.h"
#include "app/str_util.h"
#include "app/text_conv.h"
#include "app/translate.h"
#include "protocol/cmd_header.h"
#include "protocol/dev_info.h"
#include "protocol/station.h"

namespace {
constexpr std::size_t kWifiEntryBytes = 36;
constexpr std::size_t kWifiCountOffset = 16;
constexpr std::size_t kWifiConnectedOffset = 18;
constexpr std::size_t kWifiListOffset = 20;
constexpr std::size_t kSsidBytes = 32;
constexpr int kSsidLocalBytes = 127;
}  // namespace

std::size_t uLoginWifiEntries(const CReplyReader& reply) {
    const std::size_t received =
        reply.size() > kWifiListOffset ? (reply.size() - kWifiListOffset) / kWifiEntryBytes : 0;
    return std::min<std::size_t>(reply.usAt(kWifiCountOffset), received);
}

CLoginFeature::CLoginFeature(CStation& station) : m_station(station) {
    for (const std::uint8_t type : {kReplyLoginOk, kReplyLoginRefused, kReplyWifiStatus,
                                    kReplyWifiJoinOk, kReplyWifiJoinFailed, kReplyAbility}) {
        station.router().vRoute(type, *this);
    }
}

int CLoginFeature::iOnReply(const CReplyReader& reply, std::uint32_t senderNet) {
    switch (reply.byType()) {
        case kReplyLoginOk:
            vLoginReply(reply, senderNet, true);
            break;
        case kReplyLoginRefused:
            if (m_station.registry().iListSelect() != -1) {
                vLoginReply(reply, senderNet, false);
            }
            break;
        case kReplyWifiStatus:
            vWifiResult(reply, senderNet);
            return kNoResult;
        case kReplyAbility:
            vAbilityReply(reply, senderNet);
            break;
        default:
            break;
    }
    return reply.byType();
}

void CLoginFeature::vLoginRequest(std::uint32_t addrNet, ELoginOrigin origin) {
    m_station.sender().iSendUdpToDev(addrNet, bufBuildLogin(m_station.strPassword(), origin));
}

void CLoginFeature::vLoginReply(const CReplyReader& reply, std::uint32_t senderNet, bool accepted) {
    if (accepted) {
        KLOG_INFO("recv login ret info,ip:%s", strIpText(senderNet).c_str());
        m_station.registry().vSetDevLoginState(senderNet, kLoginAccepted);
    }
    const auto view = m_view.psGet();
    if (view != nullptr) {
        view->vSetDetectorFlags(reply.byAt(kCmdOffExtra) == 1, reply.byAt(kCmdOffExtra + 1) == 1,
                                reply.byAt(kCmdOffExtra + 2) == 1);
    }
    const auto connected = static_cast<std::int16_t>(reply.usAt(kWifiConnectedOffset));
    if (connected <= 0 && view != nullptr) {
        view->vSetWifiStatus({});
    }
    const std::size_t count = uLoginWifiEntries(reply);
    for (std::size_t i = 0; i < count && view != nullptr; ++i) {
        const std::size_t entry = kWifiListOffset + i * kWifiEntryBytes;
        const std::string ssid = strLocalName(reply.spanAt(entry + 4, kSsidBytes), kSsidLocalBytes);
        view->vAddWifiRow(ssid, reply.usAt(entry + 2), reply.byAt(entry));
        if (static_cast<int>(i) + 1 == connected) {
            view->vSetWifiStatus(ssid);
        }
    }
    if (!accepted) {
        m_station.registry().vSetDevLoginState(senderNet, kLoginRefused);
    }
}

void CLoginFeature::vWifiResult(const CReplyReader& reply, std::uint32_t senderNet) {
    const std::string ssid =
        strLocalName(reply.spanAt(kCmdOffPayload, kSsidBytes), kSsidLocalBytes);
    // The receive thread cannot wait for a login reply (it is the thread that would
    // receive it), so the selected device counts as logged in only when it already is.
    CDevInfo selected;
    std::string selectedIp = "0.0.0.0";
    if (m_station.registry().fgGetCurrDevInfo(selected) &&
        selected.m_iLoginState == kLoginAccepted) {
        selectedIp = selected.m_strIp;
    }
    const bool fromSelected = selectedIp == strIpText(senderNet);
    bool stopPoll = false;
    {
        std::lock_guard guard(m_lock);
        if (m_uiWifiPollAddr == senderNet) {
            m_iWifiPollCountdown = 0;
            stopPoll = true;
        }
        m_fgWifiConnected = fromSelected;
    }
    const auto view = m_view.psGet();
    if (stopPoll && view != nullptr) {
        view->vStopWifiPoll();
    }
    if (fromSelected && view != nullptr) {
        view->vSetWifiStatus(ssid);
    }
    CDevInfo devInfo;
    if (!m_station.registry().fgGetDevInfoByIp(devInfo, senderNet)) {
        return;
    }
    if (const auto result = sResultOfCode(kReplyWifiStatus, devInfo, fromSelected)) {
        m_station.vReport(*result);
        if (view != nullptr) {
            view->vShowWifiResult(strFormatResult(*result));
        }
    }
}

void CLoginFeature::vAbilityReply(const CReplyReader& reply, std::uint32_t senderNet) {
    const auto ability = sParseDevAbility(reply.bytes());
    if (!ability || !m_station.registry().fgSetDevAbility(senderNet, *ability)) {
        return;
    }
    CDevInfo selected;
    if (!m_station.registry().fgGetCurrDevInfo(selected) || selected.m_uiIpAddr != senderNet) {
        return;
    }
    std::string text;
    if (fgAbilityFullView(*ability)) {
        text = strTranslate("fullview dev");
    }
    if (fgAbilityGateway(*ability)) {
        text = text + " " + strTranslate("Gateway Dev");
    }
    if (const auto view = m_view.psGet()) {
        view->vSetDeviceTypeText(text);
    }
}

bool CLoginFeature::fgConnectWifi(const std::string& ssidUtf8, std::uint32_t encryption,
                                  const std::string& password) {
    CDevRegistry& registry = m_station.registry();
    CDevInfo devInfo;
    if (!registry.fgGetDevInfoMapValid(devInfo, registry.iListSelect())) {
        return false;
    }
    KLOG_INFO("ssid:%s,pwd:%s,enc=%d", ssidUtf8.c_str(), strMaskSecret(password).c_str(),
              static_cast<int>(encryption));
    if (!m_station.fgSendToDev(devInfo.m_strIp,
                               bufBuildConnectWifi(encryption, password, ssidUtf8))) {
        return false;
    }
    std::lock_guard guard(m_lock);
    m_iWifiPollCountdown = kWifiPollCount;
    m_uiWifiPollAddr = devInfo.m_uiIpAddr;
    return true;
}

bool CLoginFeature::fgWifiPollTick() {
    std::uint32_t target = 0;
    bool more = false;
    {
        std::lock_guard guard(m_lock);
        if (m_iWifiPollCountdown <= 0) {
            return false;
        }
        more = --m_iWifiPollCountdown > 0;
        target = m_uiWifiPollAddr;
    }
    m_station.sender().iSendUdpToDev(target, bufBuildWifiStatus());
    return more;
}

int CLoginFeature::iWifiPollCountdown() const {
    std::lock_guard guard(m_lock);
    return m_iWifiPollCountdown;
}

bool CLoginFeature::fgWifiConnected() const {
    std::lock_guard guard(m_lock);
    return m_fgWifiConnected;
}
