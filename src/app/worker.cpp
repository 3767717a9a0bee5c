#include "app/worker.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <system_error>

#include "app/dbg_print.h"

#if defined(__linux__)
#include <pthread.h>
#endif

void vNameThisThread(std::string_view name) {
#if defined(__linux__)
    char shortName[CWorker::kNameMax + 1] = {};
    std::memcpy(shortName, name.data(), std::min(name.size(), CWorker::kNameMax));
    (void)pthread_setname_np(pthread_self(), shortName);
#else
    (void)name;
#endif
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
        vDbgPrint("camkit:err:%s, %d=>thread %s refused: %s\r\n", "CWorker::sStart", __LINE__,
                  m_strName.c_str(), refused.what());
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
        vDbgPrint("camkit:err:%s, %d=>thread %s still busy after %d ms, waiting for it\r\n",
                  "CWorker::fgStop", __LINE__, m_strName.c_str(), waitMs);
        inTime = false;
    }
    m_thread.join();
    m_finished = {};
    return inTime;
}
