#include "upgrade/upgrader.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "app/dbg_print.h"
#include "net/socket_helpers.h"
#include "upgrade/upg_accept_info.h"
#include "upgrade/upg_wire.h"

CUpgrader::CUpgrader(IUdpSender& sender, IUpgradeView& view, CUpgOptions options)
    : m_sender(sender), m_view(view), m_options(options) {}

CUpgrader::~CUpgrader() {
    std::vector<RecordPtr> records;
    {
        const std::lock_guard lock(m_tableLock);
        for (auto& [address, record] : m_table) {
            records.push_back(std::move(record));
        }
        m_table.clear();
        for (RecordPtr& record : m_retired) {
            records.push_back(std::move(record));
        }
        m_retired.clear();
    }
    // Every record is told to stop first, so that their threads wind down together.
    for (const RecordPtr& record : records) {
        record->iSetState(CUpgAcceptInfo::kStateStop, false);
        record->m_connectThread.request_stop();
    }
    records.clear();
}

int CUpgrader::iStartUpgrade(const std::vector<CUpgFile>& files,
                             const std::vector<std::string>& targets) {
    vReap();
    if (files.empty() || files.size() > static_cast<std::size_t>(kUpgFilesMax)) {
        vDbgPrint("camkit:%s, %d=>no select file 3\r\n", "CUpgrader::iStartUpgrade", __LINE__);
        return -1;
    }
    const auto request = bufBuildUpgRequest();
    int handled = 0;
    for (const std::string& target : targets) {
        std::uint32_t addrNet = 0;
        if (!fgParseIp(target, addrNet)) {
            vDbgPrint("camkit:err:%s, %d=>not an address:%s\r\n", "CUpgrader::iStartUpgrade",
                      __LINE__, target.c_str());
            continue;
        }
        const std::string address = strIpText(addrNet);
        // The record comes first: a device may call back as soon as the request is in.
        bool busy = false;
        {
            const std::lock_guard lock(m_tableLock);
            if (m_table.empty()) {
                m_run.clear();
            }
            const auto found = m_table.find(address);
            if (found != m_table.end()) {
                vDbgPrint("camkit:%s, %d=>find same ip dev info\r\n", "CUpgrader::iStartUpgrade",
                          __LINE__);
                CUpgAcceptInfo& record = *found->second;
                busy = record.m_fgBound || record.iAddUpgInfo(files) != 0;
                if (!busy) {
                    CUpgDeviceResult& entry = m_run[address];
                    entry.m_files.insert(entry.m_files.end(), files.begin(), files.end());
                }
            } else {
                auto record = std::make_unique<CUpgAcceptInfo>(address, addrNet, files);
                record->m_started = std::chrono::steady_clock::now();
                CUpgAcceptInfo& stored = *record;
                m_table.emplace(address, std::move(record));
                CUpgDeviceResult& entry = m_run[address];
                entry = CUpgDeviceResult{};
                entry.m_strDevice = address;
                entry.m_files = files;
                stored.m_connectThread = std::jthread(
                    [this, &stored](std::stop_token stop) { ConnectThreadProc(stop, stored); });
            }
        }
        if (busy) {
            vReport(sUpgEvent(EUpgEvent::kBusy, address));
            continue;
        }
        if (m_sender.iSendUdpToDev(addrNet, request) != 0) {
            vDbgPrint("camkit:err:%s, %d=>send cmd to dev %s fail, len=%d,\r\n",
                      "CUpgrader::iStartUpgrade", __LINE__, address.c_str(),
                      static_cast<int>(request.size()));
        }
        ++handled;
    }
    return handled;
}

int CUpgrader::iRetryFailed() {
    std::vector<std::pair<std::string, std::vector<CUpgFile>>> failed;
    {
        const std::lock_guard lock(m_tableLock);
        if (!m_table.empty()) {
            return 0;
        }
        for (const auto& [address, entry] : m_run) {
            if (entry.m_eOutcome == EUpgOutcome::kFailed ||
                entry.m_eOutcome == EUpgOutcome::kNoAnswer) {
                failed.emplace_back(address, entry.m_files);
            }
        }
    }
    int started = 0;
    for (const auto& [address, files] : failed) {
        started += std::max(0, iStartUpgrade(files, {address}));
    }
    return started;
}

void CUpgrader::vOnAccepted(CSocket connection, const CEndpoint& peer) {
    if (!connection.fgValid() || peer.m_uiAddr == 0) {
        vDbgPrint("camkit:%s, %d=>err socket\r\n", "CUpgrader::iCB_UpgAccept", __LINE__);
        return;
    }
    vSendFileHandle(peer.m_uiAddr, std::move(connection), true);
}

std::function<void(CSocket, const CEndpoint&)> CUpgrader::fnAcceptHandler() {
    return [this](CSocket connection, const CEndpoint& peer) {
        vOnAccepted(std::move(connection), peer);
    };
}

void CUpgrader::vSendFileHandle(std::uint32_t addrNet, CSocket connection, bool byListener) {
    const std::string address = strIpText(addrNet);
    {
        const std::lock_guard lock(m_tableLock);
        const auto found = m_table.find(address);
        if (found == m_table.end()) {
            vDbgPrint("camkit:%s, %d=>can not find upg dev info\r\n",
                      "CUpgrader::psGetDevUpgInfoByIp", __LINE__);
            vDbgPrint("camkit:%s, %d=>err\r\n", "CUpgrader::vSendFileHandle", __LINE__);
            return;
        }
        CUpgAcceptInfo& record = *found->second;
        if (record.m_fgBound) {
            // The connect thread and the listener both reached the device: the first
            // connection carries the transfer, this one is closed.
            vDbgPrint("camkit:%s, %d=>second connection of %s closed, as server=%d\r\n",
                      "CUpgrader::vSendFileHandle", __LINE__, address.c_str(), byListener ? 1 : 0);
            return;
        }
        record.m_fgBound = true;
        record.m_socket = std::move(connection);
        (void)iSetNonBlocking(record.m_socket, true);
        if (byListener) {
            // Not joined here: this is the receive thread. The thread notices the request
            // within one attempt; the receiver joins it.
            record.m_connectThread.request_stop();
        }
        vDbgPrint("camkit:%s, %d=>new socket connect in, %s,fd=%lld,as server=%d\r\n",
                  "CUpgrader::vSendFileHandle", __LINE__, address.c_str(), record.m_socket.iLogId(),
                  byListener ? 1 : 0);
        record.m_fgByListener = byListener;
        record.m_senderThread = std::jthread([this, &record] { SendFile(record); });
        record.m_receiverThread = std::jthread([this, &record] { Recv(record); });
    }
}

bool CUpgrader::fgRetire(CUpgAcceptInfo& record, EUpgOutcome outcome, EUpgReason reason,
                         const CUpgEvent* lastEvent, bool onlyUnbound) {
    CUpgDeviceResult result;
    std::optional<CUpgSummary> summary;
    std::vector<RecordPtr> finished;
    {
        const std::lock_guard lock(m_tableLock);
        const auto found = m_table.find(record.m_strAddress);
        if (found == m_table.end() || found->second.get() != &record) {
            return false;  // the upgrader is closing and holds the record itself
        }
        if (onlyUnbound && record.m_fgBound) {
            return false;
        }
        // Records whose threads have all returned are destroyed now, outside the lock.
        for (RecordPtr& retired : m_retired) {
            if (retired->m_fgFinished.load()) {
                finished.push_back(std::move(retired));
            }
        }
        std::erase(m_retired, nullptr);

        CUpgDeviceResult& entry = m_run[record.m_strAddress];
        entry.m_strDevice = record.m_strAddress;
        entry = sLiveResult(entry);
        m_retired.push_back(std::move(found->second));
        m_table.erase(found);
        entry.m_eOutcome = outcome;
        entry.m_eReason = reason;
        entry.m_fgConfirmed = record.m_fgDeviceConfirmed.load();
        entry.m_elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - record.m_started);
        result = entry;
        if (m_table.empty()) {
            summary.emplace();
            for (const auto& [address, device] : m_run) {
                summary->m_iSucceeded += device.m_eOutcome == EUpgOutcome::kSucceeded ? 1 : 0;
                summary->m_iFailed += device.m_eOutcome == EUpgOutcome::kFailed ? 1 : 0;
                summary->m_iNoAnswer += device.m_eOutcome == EUpgOutcome::kNoAnswer ? 1 : 0;
                summary->m_devices.push_back(device);
            }
        }
    }
    finished.clear();
    if (lastEvent != nullptr) {
        vReport(*lastEvent);
    }
    m_view.vOnUpgradeDeviceDone(result);
    if (summary) {
        m_view.vOnUpgradeSummary(*summary);
    }
    return true;
}

void CUpgrader::vReap() {
    std::vector<RecordPtr> finished;
    {
        const std::lock_guard lock(m_tableLock);
        for (RecordPtr& retired : m_retired) {
            if (retired->m_fgFinished.load()) {
                finished.push_back(std::move(retired));
            }
        }
        std::erase(m_retired, nullptr);
    }
}

void CUpgrader::vReport(const CUpgEvent& event) const {
    m_view.vOnUpgradeEvent(event);
}

CUpgDeviceResult CUpgrader::sLiveResult(const CUpgDeviceResult& entry) const {
    CUpgDeviceResult live = entry;
    const auto found = m_table.find(entry.m_strDevice);
    if (found != m_table.end()) {
        const CUpgAcceptInfo& record = *found->second;
        live.m_ulBytesSent = record.m_ulBytesSent.load();
        live.m_ulBytesTotal = record.m_ulBytesTotal.load();
        live.m_fgConfirmed = record.m_fgDeviceConfirmed.load();
        live.m_elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - record.m_started);
    }
    return live;
}

std::vector<CUpgDeviceResult> CUpgrader::vecRunDevices() const {
    const std::lock_guard lock(m_tableLock);
    std::vector<CUpgDeviceResult> devices;
    devices.reserve(m_run.size());
    for (const auto& [address, entry] : m_run) {
        devices.push_back(entry.m_eOutcome == EUpgOutcome::kRunning ? sLiveResult(entry) : entry);
    }
    return devices;
}

bool CUpgrader::fgRunning() const {
    const std::lock_guard lock(m_tableLock);
    return !m_table.empty();
}

std::size_t CUpgrader::iRecordCount() const {
    const std::lock_guard lock(m_tableLock);
    return m_table.size();
}
