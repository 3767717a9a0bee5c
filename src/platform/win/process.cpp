#include "platform/process.h"

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <mutex>

namespace {

struct CRequestQueue {
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<EProcessRequest> m_requests;
};

CRequestQueue& sQueue() {
    static CRequestQueue queue;
    return queue;
}

BOOL WINAPI fgOnConsoleEvent(DWORD event) {
    const EProcessRequest request =
        event == CTRL_BREAK_EVENT ? EProcessRequest::Announce : EProcessRequest::Stop;
    CRequestQueue& queue = sQueue();
    {
        const std::lock_guard lock(queue.m_lock);
        queue.m_requests.push_back(request);
    }
    queue.m_changed.notify_all();
    return TRUE;
}

}  // namespace

void vPrepareProcessRequests() {
    (void)sQueue();
    SetConsoleCtrlHandler(fgOnConsoleEvent, TRUE);
}

EProcessRequest eWaitProcessRequest() {
    CRequestQueue& queue = sQueue();
    std::unique_lock lock(queue.m_lock);
    queue.m_changed.wait(lock, [&queue] { return !queue.m_requests.empty(); });
    const EProcessRequest request = queue.m_requests.front();
    queue.m_requests.pop_front();
    return request;
}

int iStopRequestDescriptor() {
    return -1;
}

void vDrainStopRequests() {}

bool fgEnsureHandleLimit(std::size_t /*handles*/, std::string& /*error*/) {
    // Sockets and files have no per-process limit to raise here.
    return true;
}
