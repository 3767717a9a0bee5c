#include "media/stream_worker.h"

#include "app/dbg_print.h"

void CStreamWorker::vStart(std::function<void(std::stop_token)> body) {
    std::promise<void> finished;
    std::future<void> done = finished.get_future();
    m_thread = std::jthread(
        [body = std::move(body), finished = std::move(finished)](std::stop_token stop) mutable {
            body(std::move(stop));
            finished.set_value();
        });
    m_finished = std::move(done);
}

bool CStreamWorker::fgRunning() const {
    return m_finished.valid() &&
           m_finished.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}

void CStreamWorker::vStop(int waitMs, const char* who) {
    if (!m_thread.joinable()) {
        return;
    }
    m_thread.request_stop();
    if (waitMs > 0 && m_finished.valid() &&
        m_finished.wait_for(std::chrono::milliseconds(waitMs)) != std::future_status::ready) {
        vDbgPrint("camkit:err:%s, %d=>thread still busy after %d ms, waiting for it\r\n", who,
                  __LINE__, waitMs);
    }
    m_thread.join();
    m_finished = {};
}
