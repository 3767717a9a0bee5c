#include "history/history_recorder.h"

CHistoryRecorder::CHistoryRecorder(CHistoryConfig config,
                                   std::function<void(const CRecorderReport&)> report)
    : m_config(std::move(config)), m_report(std::move(report)) {
    if (const auto started =
            m_worker.sStart("history", [this](const std::stop_token& stop) { vRun(stop); });
        !started && m_report) {
        m_report({0, "history not recorded: " + started.error().m_strReason});
    }
}

CHistoryRecorder::~CHistoryRecorder() {
    m_worker.vRequestStop();
    m_wake.notify_all();
    // The last pass writes what is queued; a server that is not tried costs nothing.
    m_worker.vStop(0);
}

void CHistoryRecorder::vRecord(std::vector<CDeviceRecord> records) {
    vRecordLater([records = std::move(records)] { return records; });
}

void CHistoryRecorder::vRecordLater(std::function<std::vector<CDeviceRecord>()> build) {
    {
        const std::lock_guard guard(m_lock);
        if (m_queue.size() >= kQueueMax) {
            ++m_dropped;
            return;
        }
        m_queue.push_back(std::move(build));
    }
    m_wake.notify_all();
}

void CHistoryRecorder::vForwardNow() {
    {
        const std::lock_guard guard(m_lock);
        m_fgForwardNow = true;
    }
    m_wake.notify_all();
}

void CHistoryRecorder::vRun(const std::stop_token& stop) {
    std::string openError;
    std::unique_ptr<CHistoryStore> store;
    // A last pass after the stop writes what is queued (without trying the server).
    for (bool stopping = false; !stopping;) {
        std::deque<std::function<std::vector<CDeviceRecord>()>> batches;
        std::size_t dropped = 0;
        {
            std::unique_lock guard(m_lock);
            m_wake.wait_for(guard, stop, kRetryPeriod,
                            [this] { return !m_queue.empty() || m_fgForwardNow; });
            batches.swap(m_queue);
            std::swap(dropped, m_dropped);
            m_fgForwardNow = false;
            stopping = stop.stop_requested();
        }
        CRecorderReport report;
        if (!store) {
            store = CHistoryStore::psOpen(m_config, openError);
        }
        if (!store) {
            report.m_strError = openError;
        } else {
            for (const auto& build : batches) {
                std::string error;
                if (!store->fgRecord(build(), error)) {
                    report.m_strError = error;
                }
            }
            const CForwardResult forwarded =
                stopping ? CForwardResult{0, store->iWaiting(), {}} : store->sForward();
            report.m_llWaiting = forwarded.m_llWaiting;
            if (report.m_strError.empty()) {
                report.m_strError = forwarded.m_strError;
            }
        }
        if (dropped != 0) {
            report.m_strError = std::to_string(dropped) + " job(s) not recorded (queue full)";
        }
        if (m_report) {
            m_report(report);
        }
    }
}
