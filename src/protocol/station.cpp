#include "protocol/station.h"

#include <chrono>
#include <thread>

#include "app/dbg_print.h"
#include "app/settings.h"
#include "protocol/cmd_header.h"

namespace {

void vSleepMs(int waitMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
}

}  // namespace

CStation::CStation(IUdpSender& sender, IStationView& view)
    : m_sender(sender),
      m_view(view),
      m_loginWait(&vSleepMs),
      m_uiLastSelectAddr(CSettings::instance().m_uiLastSelectAddr) {}

void CStation::vOnDatagram(std::span<const std::uint8_t> data, const CEndpoint& from) {
    vParseLanInfo(data, from.m_uiAddr);
}

void CStation::vOnAnnouncement(std::span<const std::uint8_t> data, const CEndpoint& from) {
    m_discovery.vParseIpcToNvrInfo(data, from.m_uiAddr);
}

void CStation::vParseLanInfo(std::span<const std::uint8_t> datagram, std::uint32_t senderNet) {
    const CReplyReader reply(datagram);
    const std::uint8_t type = reply.byType();
    IReplyHandler* handler = type == kCmdExtended ? m_router.psExtHandler(reply.uiAt(kCmdOffWordB))
                                                  : m_router.psHandler(type);
    if (handler == nullptr) {
        vDbgPrint("camkit:%s, %d=>reply %d (%u) from %s not handled\r\n", "CStation::vParseLanInfo",
                  __LINE__, static_cast<int>(type), static_cast<unsigned>(reply.uiAt(kCmdOffWordB)),
                  strIpText(senderNet).c_str());
        return;
    }
    const int code = handler->iOnReply(reply, senderNet);
    if (code != kNoResult) {
        vShowCmdResult(senderNet, code);
    }
}

void CStation::vShowCmdResult(std::uint32_t addrNet, int code) {
    CDevInfo devInfo;
    const bool found = addrNet == 0 ? m_registry.fgGetCurrDevInfo(devInfo)
                                    : m_registry.fgGetDevInfoByIp(devInfo, addrNet);
    if (!found) {
        return;
    }
    if (const std::optional<CCmdResult> result =
            sResultOfCode(code, devInfo, m_login.fgWifiConnected())) {
        vReport(*result);
    }
}

void CStation::vReport(const CCmdResult& result) {
    m_view.vOnResult(result);
}

void CStation::vSetPassword(const std::string& password) {
    std::lock_guard guard(m_stateLock);
    m_strPassword = password;
}

std::string CStation::strPassword() const {
    std::lock_guard guard(m_stateLock);
    return m_strPassword;
}

void CStation::vSetLoginWait(LoginWait wait) {
    std::lock_guard guard(m_stateLock);
    m_loginWait = wait ? std::move(wait) : LoginWait(&vSleepMs);
}

std::optional<CDevInfo> CStation::sSelectRow(int row) {
    std::optional<CDevInfo> devInfo = m_registry.sRow(row);
    if (!devInfo) {
        return std::nullopt;
    }
    m_registry.iDevPoolDelete(-1, true);
    m_registry.vSetListSelect(row);
    m_registry.vDevPoolAdd(row, CDevRegistry::EPoolAdd::kIndex);
    m_login.vLoginRequest(devInfo->m_uiIpAddr, ELoginOrigin::kRowClick);
    m_uiLastSelectAddr = devInfo->m_uiIpAddr;
    return devInfo;
}

void CStation::vToggleRowCheck(int row, bool ticked) {
    vDbgPrint("camkit:%s, %d=>client dev list\r\n", "CclientDlg::OnLvnItemchangedListClient",
              __LINE__);
    if (ticked) {
        if (!m_registry.sRow(row)) {
            return;
        }
        m_registry.vSetListSelect(row);
        m_registry.vDevPoolAdd(row, CDevRegistry::EPoolAdd::kIndex);
        return;
    }
    // The selection moves to the first device still ticked (none: -1).
    m_registry.vSetListSelect(m_registry.iDevPoolDelete(row, false));
}

void CStation::vSelectAll(bool ticked) {
    if (ticked) {
        m_registry.vDevPoolAdd(-1, CDevRegistry::EPoolAdd::kAll);
    } else {
        m_registry.iDevPoolDelete(-1, true);
    }
}

void CStation::vSortByColumn(int column) {
    if (column == 1) {
        m_registry.iSortByUid(0);
    } else {
        m_registry.iSortByAddr(0);
    }
}

bool CStation::fgSelectDevIsLogin(std::string* ipText) {
    CDevInfo devInfo;
    if (!m_registry.fgGetDevInfoMapValid(devInfo, m_registry.iListSelect())) {
        return false;
    }
    bool answered = devInfo.m_iLoginState != kLoginUnknown;
    for (int attempt = 0; attempt < kLoginAttempts && !answered; ++attempt) {
        if (attempt < kLoginRequests) {
            m_login.vLoginRequest(devInfo.m_uiIpAddr, ELoginOrigin::kLoginCheck);
        }
        LoginWait wait;
        {
            std::lock_guard guard(m_stateLock);
            wait = m_loginWait;
        }
        wait(kLoginWaitMs);
        if (attempt + 1 == kLoginAttempts ||
            !m_registry.fgGetDevInfoMapValid(devInfo, m_registry.iListSelect())) {
            break;
        }
        answered = devInfo.m_iLoginState != kLoginUnknown;
    }
    if (!answered) {
        vDbgPrint("camkit:%s, %d=>login no resp\r\n", "CclientDlg::fgSelectDevIsLogin", __LINE__);
        vReport(sAddrResult(devInfo.m_uiIpAddr, "login no recv response"));
        return false;
    }
    if (ipText != nullptr) {
        *ipText = devInfo.m_strIp;
    }
    if (devInfo.m_iLoginState < 0) {
        vDbgPrint("camkit:%s, %d=>login fail,password err!!!\r\n", "CclientDlg::fgSelectDevIsLogin",
                  __LINE__);
        return false;
    }
    return true;
}

bool CStation::fgSendToDev(const std::string& ipText, std::span<const std::uint8_t> request) {
    if (request.empty()) {
        return false;
    }
    return m_sender.fgSendUdpByIpStr(ipText, kPortCommand, request, false);
}

void CStation::vSendCmd(std::uint8_t code, std::uint8_t param,
                        std::span<const std::uint8_t> payload, ECmdTarget target) {
    const CmdBytes request = bufBuildSendCmd(code, param, payload);
    if (target == ECmdTarget::kSelected) {
        CDevInfo devInfo;
        if (m_registry.fgGetCurrDevInfo(devInfo)) {
            m_sender.iSendUdpToDev(devInfo.m_uiIpAddr, request);
        }
        return;
    }
    for (const CDevInfo& devInfo : m_registry.vecGetSelectDevInfo()) {
        m_sender.iSendUdpToDev(devInfo.m_uiIpAddr, request);
    }
}

void CStation::vSendExtCmd(std::span<const std::uint8_t> payload, std::uint32_t subCmd) {
    CDevInfo devInfo;
    if (m_registry.fgGetCurrDevInfo(devInfo)) {
        m_sender.iSendUdpToDev(devInfo.m_uiIpAddr, bufBuildExtCmd(subCmd, payload));
    }
}
