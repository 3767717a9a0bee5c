#pragma once

// One thread of the stream client with its owner's bounded stop: the body polls its
// stop token; the owner asks it to stop and waits a stated time before saying so in a
// diagnostic line (and then waits on, since the body still uses the owner's state).

#include <chrono>
#include <functional>
#include <future>
#include <stop_token>
#include <thread>

class CStreamWorker {
  public:
    CStreamWorker() = default;
    ~CStreamWorker() { vStop(0, "CStreamWorker::~CStreamWorker"); }
    CStreamWorker(const CStreamWorker&) = delete;
    CStreamWorker& operator=(const CStreamWorker&) = delete;

    // Starts body on a new thread; the previous one must have been stopped. Throws
    // std::system_error when the system refuses a thread.
    void vStart(std::function<void(std::stop_token)> body);
    // True from vStart until the body has returned.
    bool fgRunning() const;
    // Asks the body to stop without waiting.
    void vRequestStop() { m_thread.request_stop(); }
    // Asks the body to stop and waits for it; a body still running after waitMs is
    // named in a line ("who") and then waited for. No effect when nothing runs.
    void vStop(int waitMs, const char* who);

  private:
    std::future<void> m_finished;
    std::jthread m_thread;
};
