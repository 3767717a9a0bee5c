#include "upgrade/upgrader.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "app/log.h"
#include "app/worker.h"
#include "upgrade/upg_accept_info.h"
#include "upgrade/upg_wire.h"

namespace {

bool fgCountsAsFailure(EUpgOutcome outcome) {
    return outcome == EUpgOutcome::kFailed || outcome == EUpgOutcome::kNoAnswer;
}

}  // namespace

CUpgrader::CUpgrader(IUdpSender& sender, IUpgradeView& view, CUpgOptions options)
    : m_sender(sender), m_view(view), m_options(std::move(options)) {}

CUpgrader::~CUpgrader() {
    {
        const std::lock_guard lock(m_tableLock);
        m_fgClosing = true;
        for (auto& [address, record] : m_table) {
            record->m_fgStop.store(true);
        }
        m_waiting.clear();
        m_queue.clear();
    }
    m_changed.notify_all();
    std::vector<std::unique_ptr<CWorker>> workers;
    {
        const std::lock_guard lock(m_workersLock);
        workers = std::move(m_workers);
    }
    for (const std::unique_ptr<CWorker>& worker : workers) {
        worker->vRequestStop();
    }
    // Each worker notices within one of its waits (50 ms slices).
    for (const std::unique_ptr<CWorker>& worker : workers) {
        worker->vStop(0);
    }
}

int CUpgrader::iStartUpgrade(const std::vector<CUpgFile>& files,
                             const std::vector<std::string>& targets, const CUpgPlan& plan) {
    if (files.empty() || files.size() > static_cast<std::size_t>(kUpgFilesMax)) {
        KLOG_INFO("no select file 3");
        return -1;
    }
    int handled = 0;
    std::vector<std::string> busy;
    std::vector<CUpgDeviceResult> ended;
    std::size_t records = 0;
    {
        const std::lock_guard lock(m_tableLock);
        for (const std::string& target : targets) {
            std::uint32_t addrNet = 0;
            if (!fgParseIp(target, addrNet)) {
                KLOG_ERR("not an address:%s", target.c_str());
                continue;
            }
            const std::string address = strIpText(addrNet);
            const auto found = m_table.find(address);
            if (found != m_table.end()) {
                KLOG_INFO("find same ip dev info");
                CUpgAcceptInfo& record = *found->second;
                if (record.m_fgBound || record.iAddUpgInfo(files) != 0) {
                    busy.push_back(address);
                    continue;
                }
                CUpgDeviceResult& entry = m_run[address];
                entry.m_files.insert(entry.m_files.end(), files.begin(), files.end());
                ++handled;
                continue;
            }
            if (!m_fgRunActive) {
                // A new run: its plan, its rows.
                m_fgRunActive = true;
                ++m_uiRun;
                m_fgStopped = false;
                m_iReleased = 0;
                m_plan = plan;
                m_run.clear();
            }
            auto record = std::make_shared<CUpgAcceptInfo>(address, addrNet, files);
            record->m_started = std::chrono::steady_clock::now();
            record->m_uiRun = m_uiRun;
            m_table.emplace(address, record);
            m_waiting.push_back(std::move(record));
            CUpgDeviceResult& entry = m_run[address];
            entry = CUpgDeviceResult{};
            entry.m_strDevice = address;
            entry.m_files = files;
            entry.m_strVersionExpected = m_plan.m_strExpectVersion;
            ++handled;
        }
        vReleaseLocked(ended);
        records = m_table.size();
    }
    for (const std::string& address : busy) {
        vReport(sUpgEvent(EUpgEvent::kBusy, address));
    }
    vReportEnded(ended);
    if (records > 0 && !fgEnsureWorkers(records)) {
        vFailUnstarted();
    }
    m_changed.notify_all();
    return handled;
}

int CUpgrader::iRetryFailed() {
    std::vector<std::pair<std::string, std::vector<CUpgFile>>> failed;
    CUpgPlan plan;
    {
        const std::lock_guard lock(m_tableLock);
        if (m_fgRunActive) {
            return 0;
        }
        plan = m_plan;
        for (const auto& [address, entry] : m_run) {
            if (entry.m_eOutcome != EUpgOutcome::kSucceeded) {
                failed.emplace_back(address, entry.m_files);
            }
        }
    }
    int started = 0;
    for (const auto& [address, files] : failed) {
        started += std::max(0, iStartUpgrade(files, {address}, plan));
    }
    return started;
}

void CUpgrader::vOnAccepted(CSocket connection, const CEndpoint& peer) {
    if (!connection.fgValid() || peer.m_uiAddr == 0) {
        KLOG_INFO("err socket");
        return;
    }
    const std::string address = strIpText(peer.m_uiAddr);
    {
        const std::lock_guard lock(m_tableLock);
        const auto found = m_table.find(address);
        if (found == m_table.end() || !found->second->m_fgPicked) {
            KLOG_INFO("can not find upg dev info");
            KLOG_INFO("err");
            return;
        }
        CUpgAcceptInfo& record = *found->second;
        if (record.m_fgBound || record.m_handed.fgValid()) {
            // The connect attempts and the listener both reached the device: the first
            // connection carries the transfer, this one is closed.
            KLOG_INFO("second connection of %s closed", address.c_str());
            return;
        }
        record.m_handed = std::move(connection);
        KLOG_INFO("new socket connect in, %s,fd=%lld,as server=1", address.c_str(),
                  record.m_handed.iLogId());
    }
    m_changed.notify_all();
}

std::function<void(CSocket, const CEndpoint&)> CUpgrader::fnAcceptHandler() {
    return [this](CSocket connection, const CEndpoint& peer) {
        vOnAccepted(std::move(connection), peer);
    };
}

bool CUpgrader::fgEnsureWorkers(std::size_t wanted) {
    const std::lock_guard lock(m_workersLock);
    const std::size_t limit =
        std::min(wanted, static_cast<std::size_t>(std::max(1, m_options.m_iWorkers)));
    while (m_workers.size() < limit) {
        const int number = static_cast<int>(m_workers.size()) + 1;
        auto worker = std::make_unique<CWorker>();
        const CResult<void> started =
            worker->sStart("kst-upgrade-" + std::to_string(number),
                           [this](const std::stop_token& stop) { vWorkerLoop(stop); });
        if (!started) {
            KLOG_ERR("worker %d not started: %s", number, started.error().m_strReason.c_str());
            break;
        }
        m_workers.push_back(std::move(worker));
    }
    return !m_workers.empty();
}

std::size_t CUpgrader::iWorkerCount() const {
    const std::lock_guard lock(m_workersLock);
    return m_workers.size();
}

void CUpgrader::vWorkerLoop(const std::stop_token& stop) {
    for (;;) {
        RecordPtr record;
        {
            std::unique_lock lock(m_tableLock);
            if (!m_changed.wait(lock, stop, [this] { return !m_queue.empty(); })) {
                return;
            }
            record = std::move(m_queue.front());
            m_queue.pop_front();
            record->m_fgPicked = true;
            record->m_started = std::chrono::steady_clock::now();
        }
        vRunDevice(*record);
    }
}

void CUpgrader::vFailUnstarted() {
    std::vector<CUpgDeviceResult> ended;
    {
        const std::lock_guard lock(m_tableLock);
        for (std::deque<RecordPtr>* list : {&m_queue, &m_waiting}) {
            for (const RecordPtr& record : *list) {
                ended.push_back(sEndLocked(*record, EUpgOutcome::kFailed, EUpgReason::kNoWorker));
            }
            list->clear();
        }
        m_iReleased = 0;
    }
    vReportEnded(ended);
}

CUpgDeviceResult CUpgrader::sEndLocked(const CUpgAcceptInfo& record, EUpgOutcome outcome,
                                       EUpgReason reason) {
    CUpgDeviceResult& entry = m_run[record.m_strAddress];
    entry.m_strDevice = record.m_strAddress;
    entry.m_ulBytesSent = record.m_ulBytesSent.load();
    entry.m_ulBytesTotal = record.m_ulBytesTotal.load();
    entry.m_iFilesConfirmed = record.m_iFilesConfirmed.load();
    entry.m_fgConfirmed = entry.m_iFilesConfirmed >= record.m_iFileCount;
    entry.m_eOutcome = outcome;
    entry.m_eReason = reason;
    entry.m_ePhase = EUpgPhase::kEnded;
    entry.m_elapsed = record.m_fgPicked ? std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now() - record.m_started)
                                        : std::chrono::milliseconds(0);
    m_table.erase(record.m_strAddress);
    ++m_iUnreported;
    return entry;
}

void CUpgrader::vSetPhase(CUpgAcceptInfo& record, EUpgPhase phase, const CUpgDeviceResult& facts) {
    record.m_ePhase.store(phase);
    CUpgDeviceResult row;
    {
        const std::lock_guard lock(m_tableLock);
        CUpgDeviceResult& entry = m_run[record.m_strAddress];
        vCopyFacts(facts, entry);
        entry.m_ePhase = phase;
        row = sLiveResult(entry);
    }
    m_view.vOnUpgradeDeviceState(row);
}

void CUpgrader::vCopyFacts(const CUpgDeviceResult& facts, CUpgDeviceResult& entry) {
    entry.m_fgByListener = facts.m_fgByListener;
    entry.m_strUid = facts.m_strUid;
    entry.m_strVersionBefore = facts.m_strVersionBefore;
    entry.m_strVersionAfter = facts.m_strVersionAfter;
}

void CUpgrader::vFinish(CUpgAcceptInfo& record, EUpgOutcome outcome, EUpgReason reason,
                        const CUpgDeviceResult& facts) {
    std::vector<CUpgDeviceResult> ended;
    {
        const std::lock_guard lock(m_tableLock);
        const auto found = m_table.find(record.m_strAddress);
        if (found == m_table.end() || found->second.get() != &record) {
            return;
        }
        vCopyFacts(facts, m_run[record.m_strAddress]);
        ended.push_back(sEndLocked(record, outcome, reason));
        if (fgCountsAsFailure(outcome) && m_plan.m_iStopAfter > 0) {
            const auto failures = std::count_if(m_run.begin(), m_run.end(), [](const auto& row) {
                return fgCountsAsFailure(row.second.m_eOutcome);
            });
            if (failures >= m_plan.m_iStopAfter) {
                m_fgStopped = true;
            }
        }
    }
    // The device's verdict is reported before the next wave begins: the wave's device
    // counts as going until then.
    vReportEnded(ended);
    ended.clear();
    {
        const std::lock_guard lock(m_tableLock);
        if (record.m_uiRun == m_uiRun) {
            m_iReleased = std::max(0, m_iReleased - 1);
            vReleaseLocked(ended);
        }
    }
    m_changed.notify_all();
    vReportEnded(ended);
}

void CUpgrader::vReleaseLocked(std::vector<CUpgDeviceResult>& ended) {
    if (m_fgClosing) {
        return;
    }
    if (m_fgStopped) {
        // No device is contacted any more: those that have not begun will not.
        for (std::deque<RecordPtr>* list : {&m_queue, &m_waiting}) {
            for (const RecordPtr& record : *list) {
                ended.push_back(
                    sEndLocked(*record, EUpgOutcome::kNotStarted, EUpgReason::kNotStarted));
            }
            list->clear();
        }
        m_iReleased = 0;
        return;
    }
    const std::size_t wave = static_cast<std::size_t>(std::max(0, m_plan.m_iWave));
    if (wave != 0 && m_iReleased > 0) {
        return;  // the current wave is still going
    }
    const std::size_t count = wave == 0 ? m_waiting.size() : std::min(wave, m_waiting.size());
    for (std::size_t i = 0; i < count; ++i) {
        m_queue.push_back(std::move(m_waiting.front()));
        m_waiting.pop_front();
        ++m_iReleased;
    }
}

void CUpgrader::vReportEnded(const std::vector<CUpgDeviceResult>& ended) {
    for (const CUpgDeviceResult& result : ended) {
        m_view.vOnUpgradeDeviceState(result);
        m_view.vOnUpgradeDeviceDone(result);
    }
    std::optional<CUpgSummary> summary;
    {
        const std::lock_guard lock(m_tableLock);
        m_iUnreported -= static_cast<int>(ended.size());
        // The summary comes after every device's own report, from whoever reports last.
        if (m_fgRunActive && m_table.empty() && m_iUnreported == 0) {
            m_fgRunActive = false;
            summary.emplace();
            for (const auto& [address, device] : m_run) {
                summary->m_iSucceeded += device.m_eOutcome == EUpgOutcome::kSucceeded ? 1 : 0;
                summary->m_iFailed += device.m_eOutcome == EUpgOutcome::kFailed ? 1 : 0;
                summary->m_iNoAnswer += device.m_eOutcome == EUpgOutcome::kNoAnswer ? 1 : 0;
                summary->m_iNotStarted += device.m_eOutcome == EUpgOutcome::kNotStarted ? 1 : 0;
                summary->m_devices.push_back(device);
            }
        }
    }
    if (summary) {
        m_view.vOnUpgradeSummary(*summary);
    }
}

void CUpgrader::vReport(const CUpgEvent& event) const {
    m_view.vOnUpgradeEvent(event);
}

CUpgPlan CUpgrader::sPlan() const {
    const std::lock_guard lock(m_tableLock);
    return m_plan;
}

CUpgDeviceResult CUpgrader::sLiveResult(const CUpgDeviceResult& entry) const {
    CUpgDeviceResult live = entry;
    const auto found = m_table.find(entry.m_strDevice);
    if (found != m_table.end()) {
        const CUpgAcceptInfo& record = *found->second;
        live.m_ulBytesSent = record.m_ulBytesSent.load();
        live.m_ulBytesTotal = record.m_ulBytesTotal.load();
        live.m_iFilesConfirmed = record.m_iFilesConfirmed.load();
        if (record.m_fgPicked) {
            live.m_elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - record.m_started);
        }
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
    return m_fgRunActive;
}

std::size_t CUpgrader::iRecordCount() const {
    const std::lock_guard lock(m_tableLock);
    return m_table.size();
}
