#include "protocol/station.h"

#include <chrono>
#include <thread>

#include "app/dbg_print.h"
#include "app/settings.h"
#include "app/translate.h"
#include "protocol/cmd_header.h"

CStation::CStation(IUdpSender& sender, IStationView& view) : m_sender(sender), m_view(view) {}

void CStation::vSetPassword(const std::string& password) {
    std::lock_guard guard(m_stateLock);
    m_strPassword = password;
}

std::string CStation::strPassword() const {
    std::lock_guard guard(m_stateLock);
    return m_strPassword;
}

void CStation::vRefresh() {
    m_registry.vSetListSelect(-1);
    m_registry.vClearDevInfo();
    m_registry.iDevPoolDelete(-1, true);
    m_sender.vSearchDev();
    m_registry.vSetFilterOff();
    std::lock_guard guard(m_stateLock);
    m_iSortCountdown = kSortCountdownTicks;
}

void CStation::vSearch() {
    m_sender.vSearchDev();
}

int CStation::iDrainDiscoveryQueue() {
    std::vector<CDevInfo> records;
    iTakeDiscoveryRecords(m_discoveryQueue, kDiscoveryItemsPerTick, records);
    for (CDevInfo& devInfo : records) {
        const CDevAddResult added = m_registry.sAddOrUpdateDevice(std::move(devInfo));
        if (added.m_eKind == EDevAdd::kAppended || added.m_eKind == EDevAdd::kHidden) {
            std::lock_guard guard(m_stateLock);
            m_iSortCountdown = kSortCountdownTicks;
        }
    }
    return m_discoveryQueue.iCount();
}

bool CStation::fgSortTick() {
    {
        std::lock_guard guard(m_stateLock);
        if (m_iSortCountdown <= 0) {
            return false;
        }
        if (--m_iSortCountdown > 0) {
            return true;
        }
    }
    const CSettings& settings = CSettings::instance();
    const std::uint32_t reselect = settings.m_fgReselect ? settings.m_uiLastSelectAddr : 0;
    m_registry.iSortByUid(reselect);
    return false;
}

bool CStation::fgWifiPollTick() {
    std::uint32_t target = 0;
    bool more = false;
    {
        std::lock_guard guard(m_stateLock);
        if (m_iWifiPollCountdown <= 0) {
            return false;
        }
        more = --m_iWifiPollCountdown > 0;
        target = m_uiWifiPollAddr;
    }
    m_sender.iSendUdpToDev(target, bufBuildWifiStatus());
    return more;
}

std::optional<CDevInfo> CStation::sSelectRow(int row) {
    std::optional<CDevInfo> devInfo = m_registry.sRow(row);
    if (!devInfo) {
        return std::nullopt;
    }
    m_registry.iDevPoolDelete(-1, true);
    m_registry.vSetListSelect(row);
    m_registry.vDevPoolAdd(row, CDevRegistry::EPoolAdd::kIndex);
    vLoginRequest(devInfo->m_uiIpAddr, ELoginOrigin::kRowClick);
    CSettings::instance().m_uiLastSelectAddr = devInfo->m_uiIpAddr;
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

void CStation::vLoginRequest(std::uint32_t addrNet, ELoginOrigin origin) {
    m_sender.iSendUdpToDev(addrNet, bufBuildLogin(strPassword(), origin));
}

bool CStation::fgSelectDevIsLogin(std::string* ipText) {
    CDevInfo devInfo;
    if (!m_registry.fgGetDevInfoMapValid(devInfo, m_registry.iListSelect())) {
        return false;
    }
    bool answered = devInfo.m_iLoginState != kLoginUnknown;
    for (int attempt = 0; attempt < kLoginAttempts && !answered; ++attempt) {
        if (attempt < 2) {
            vLoginRequest(devInfo.m_uiIpAddr, ELoginOrigin::kLoginCheck);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kLoginWaitMs));
        if (attempt + 1 == kLoginAttempts ||
            !m_registry.fgGetDevInfoMapValid(devInfo, m_registry.iListSelect())) {
            break;
        }
        answered = devInfo.m_iLoginState != kLoginUnknown;
    }
    if (!answered) {
        vDbgPrint("camkit:%s, %d=>login no resp\r\n", "CclientDlg::fgSelectDevIsLogin", __LINE__);
        PrintLogKey("login no recv response", devInfo.m_strIp);
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

bool CStation::fgFormatSd() {
    std::string ip;
    return fgSelectDevIsLogin(&ip) && fgSendToDev(ip, bufBuildFormatSd());
}

bool CStation::fgModifyPassword(const std::string& newPassword) {
    std::string ip;
    return fgSelectDevIsLogin(&ip) && fgSendToDev(ip, bufBuildChangePassword(newPassword));
}

bool CStation::fgMakeUpgradeFile() {
    CDevInfo devInfo;
    if (!fgSelectDevIsLogin() || !m_registry.fgGetCurrDevInfo(devInfo)) {
        return false;
    }
    return m_sender.iSendUdpToDev(devInfo.m_uiIpAddr, bufBuildMakeUpgradeFile()) == 0;
}

bool CStation::fgConnectWifi(const std::string& ssidUtf8, std::uint32_t encryption,
                             const std::string& password) {
    CDevInfo devInfo;
    if (!m_registry.fgGetDevInfoMapValid(devInfo, m_registry.iListSelect())) {
        return false;
    }
    vDbgPrint("camkit:%s, %d=>ssid:%s,pwd:%s,enc=%d\r\n", "CclientDlg::ConnectWifi", __LINE__,
              ssidUtf8.c_str(), password.c_str(), static_cast<int>(encryption));
    if (!fgSendToDev(devInfo.m_strIp, bufBuildConnectWifi(encryption, password, ssidUtf8))) {
        return false;
    }
    std::lock_guard guard(m_stateLock);
    m_iWifiPollCountdown = kWifiPollCount;
    m_uiWifiPollAddr = devInfo.m_uiIpAddr;
    return true;
}

bool CStation::fgSetUid(const std::string& uid) {
    CDevInfo devInfo;
    if (!m_registry.fgGetCurrDevInfo(devInfo)) {
        return false;
    }
    {
        std::lock_guard guard(m_stateLock);
        m_strLastUid = uid;
    }
    return fgSendToDev(devInfo.m_strIp, bufBuildSetUid(uid));
}

void CStation::vSetConfigItemKind(int kind) {
    std::lock_guard guard(m_stateLock);
    m_iConfigItemKind = kind;
}

void CStation::vSetMacRequestPending(bool pending) {
    std::lock_guard guard(m_stateLock);
    m_fgMacRequestPending = pending;
}

int CStation::iSetUidSuccessCount() const {
    std::lock_guard guard(m_stateLock);
    return m_iSetUidSuccess;
}

int CStation::iWifiPollCountdown() const {
    std::lock_guard guard(m_stateLock);
    return m_iWifiPollCountdown;
}

bool CStation::fgWifiConnected() const {
    std::lock_guard guard(m_stateLock);
    return m_fgWifiConnected;
}

bool CStation::fgCalibrating() const {
    std::lock_guard guard(m_stateLock);
    return m_fgCalibrating;
}

std::uint32_t CStation::uiCalibrationAddr() const {
    std::lock_guard guard(m_stateLock);
    return m_uiCalibrationAddr;
}

void CStation::vEndCalibration() {
    std::uint32_t addr = 0;
    {
        std::lock_guard guard(m_stateLock);
        m_fgCalibrating = false;
        addr = m_uiCalibrationAddr;
    }
    PrintLogKey("The calibration completed", addr);
}
