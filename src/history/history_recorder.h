#pragma once

// The window's device history: records handed over by the UI thread are written to
// the station's file and forwarded to the shared server on a thread of their own, so
// that neither a slow disk nor a server that is down ever holds up the window. Without
// new records the outbox is retried every kRetryPeriod.
//
// Threads: vRecord and vForwardNow from any thread, returning at once; the report
// callback runs on the recorder's thread ("history"; a thread that cannot be started
// is reported through the callback at once) (the window queues it onto its UI thread).
// The destructor stops the thread within one write plus one connect time-out; records
// queued by then are written to the station's file.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/worker.h"
#include "history/history_store.h"

// What the recorder tells after each write or forward: records that wait for the
// server (0 when none is configured) and the last problem, empty when there is none.
struct CRecorderReport {
    long long m_llWaiting = 0;
    std::string m_strError;
};

class CHistoryRecorder {
  public:
    static constexpr auto kRetryPeriod = std::chrono::seconds(60);
    static constexpr std::size_t kQueueMax = 10000;  // batches; more are dropped and said

    CHistoryRecorder(CHistoryConfig config, std::function<void(const CRecorderReport&)> report);
    ~CHistoryRecorder();
    CHistoryRecorder(const CHistoryRecorder&) = delete;
    CHistoryRecorder& operator=(const CHistoryRecorder&) = delete;

    const CHistoryConfig& config() const { return m_config; }

    // Queues the records of one job or run.
    void vRecord(std::vector<CDeviceRecord> records);
    // Queues a job whose records take time to make (reading firmware files for their
    // SHA-256): build runs on the recorder's thread.
    void vRecordLater(std::function<std::vector<CDeviceRecord>()> build);
    // Tries the server now instead of at the next retry.
    void vForwardNow();

  private:
    void vRun(const std::stop_token& stop);

    const CHistoryConfig m_config;
    const std::function<void(const CRecorderReport&)> m_report;
    std::mutex m_lock;
    std::condition_variable_any m_wake;
    std::deque<std::function<std::vector<CDeviceRecord>()>> m_queue;
    bool m_fgForwardNow = true;  // the outbox of an earlier run is tried at start
    std::size_t m_dropped = 0;
    CWorker m_worker;  // last: started when everything it uses exists
};
