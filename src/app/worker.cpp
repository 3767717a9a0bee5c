#include "app/worker.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <system_error>

#include "app/log.h"
#include "platform/thread_name.h"

void vNameThisThread(std::string_view name) {
    vSetThreadName(name.substr(0, std::min(name.size(), CWorker::kNameMax)));
}

CResult<void> CWorker::sStart(std::string_view name, Body body) {
    vStop(0);
    m_strName = std::string(name.substr(0, kNameMax));
    std::promise<void> finished;
    std::future<void> done = finished.get_future();
    try {
        m_thread = std::jthread([name = m_strName, body = std::move(body),
                                 finished = std::move(finished)](std::stop_token stop) mutable {
            vNameThisThread(name);
            body(std::move(stop));
            finished.set_value();
        });
    } catch (const std::system_error& refused) {
        KLOG_ERR("thread %s refused: %s", m_strName.c_str(), refused.what());
        return sError("no thread for " + m_strName + ": " + refused.what(), refused.code().value());
    }
    m_finished = std::move(done);
    return {};
}

bool CWorker::fgRunning() const {
    return m_finished.valid() &&
           m_finished.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}

bool CWorker::fgStop(int waitMs) {
    if (!m_thread.joinable()) {
        return true;
    }
    m_thread.request_stop();
    bool inTime = true;
    if (waitMs > 0 && m_finished.valid() &&
        m_finished.wait_for(std::chrono::milliseconds(waitMs)) != std::future_status::ready) {
        KLOG_ERR("thread %s still busy after %d ms, waiting for it", m_strName.c_str(), waitMs);
        inTime = false;
    }
    m_thread.join();
    m_finished = {};
    return inTime;
}
