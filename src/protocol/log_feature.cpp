#include "protocol/log_feature.h"

#include "app/dbg_print.h"
#include "protocol/cmd_header.h"
#include "protocol/requests.h"
#include "protocol/station.h"

CLogFeature::CLogFeature(CStation& station) : m_station(station) {
    for (const std::uint8_t type : {kReplyLogText, kCmdStartLog, kCmdStopLog}) {
        station.router().vRoute(type, *this);
    }
}

int CLogFeature::iOnReply(const CReplyReader& reply, std::uint32_t /*senderNet*/) {
    const std::uint8_t type = reply.byType();
    if (type != kReplyLogText) {
        return type;
    }
    const std::uint16_t length = reply.usPayloadLen();
    if (length >= kLogTextMaxBytes) {
        vDbgPrint("camkit:err:%s, %d=>len err1\r\n", "CclientDlg::vParseLanInfo", __LINE__);
        return type;
    }
    if (const auto view = m_view.psGet()) {
        const auto text = reply.spanAt(kCmdOffPayload, length);
        view->vShowLogText(std::string(text.begin(), text.end()));
    }
    return type;
}

void CLogFeature::vStartPrinting(std::uint32_t addrNet, const std::string& ipText) {
    if (fgPrinting()) {
        return;
    }
    m_station.fgSendToDev(ipText, bufBuildStartLog());
    m_station.vShowCmdResult(addrNet, kCmdStartLog);
    {
        const std::lock_guard guard(m_lock);
        m_uiPrintAddr = addrNet;
        m_strPrintIp = ipText;
    }
    if (const auto started =
            m_worker.sStart("log-alive", [this](const std::stop_token& stop) { vKeepAlive(stop); });
        !started) {
        // The device prints until its own timer ends; the lines still arrive.
        vDbgPrint("camkit:err:%s, %d=>%s\r\n", "CLogFeature::vStartPrinting", __LINE__,
                  started.error().m_strReason.c_str());
    }
}

void CLogFeature::vStopPrinting() {
    std::string ipText;
    {
        const std::lock_guard guard(m_lock);
        if (m_uiPrintAddr == 0) {
            return;
        }
        ipText = m_strPrintIp;
        m_uiPrintAddr = 0;
        m_strPrintIp.clear();
    }
    m_worker.vStop(kKeepAliveStopWaitMs);
    m_station.fgSendToDev(ipText, bufBuildStopLog());
    m_station.vShowCmdResult(0, kCmdStopLog);
}

bool CLogFeature::fgPrinting() const {
    const std::lock_guard guard(m_lock);
    return m_uiPrintAddr != 0;
}

void CLogFeature::vKeepAlive(const std::stop_token& stop) {
    std::unique_lock guard(m_lock);
    while (true) {
        m_wake.wait_for(guard, stop, kKeepAlivePeriod, [] { return false; });
        if (stop.stop_requested()) {
            return;
        }
        guard.unlock();
        vSendKeepAlive();
        guard.lock();
    }
}

void CLogFeature::vSendKeepAlive() {
    CDevRegistry& registry = m_station.registry();
    CDevInfo devInfo;
    if (!registry.fgGetDevInfoMapValid(devInfo, registry.iListSelect())) {
        return;
    }
    // No waiting here: an unknown login is asked for and this second is skipped.
    if (devInfo.m_iLoginState == kLoginUnknown) {
        m_station.login().vLoginRequest(devInfo.m_uiIpAddr, ELoginOrigin::kLoginCheck);
        return;
    }
    if (devInfo.m_iLoginState < 0) {
        return;
    }
    m_station.fgSendToDev(devInfo.m_strIp, bufBuildKeepLog());
    m_station.vShowCmdResult(devInfo.m_uiIpAddr, kCmdStartLog);
}
