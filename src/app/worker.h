#pragma once

// One thread with one owner: it is named (the name shows in /proc/PID/task/*/comm and in
// debuggers), its body polls a stop token, the owner stops it within a stated time, and
// a thread the system refuses is an error result, never a terminated process.
//
//   CWorker m_worker;
//   if (auto started = m_worker.sStart("log-alive", [this](std::stop_token stop) {...});
//       !started) { ... started.error().m_strReason ... }
//   m_worker.vStop(1000);
//
// Thread rules: sStart, vStop and the destructor belong to the owner's thread (never the
// worker's own); fgRunning and vRequestStop may be called from any thread.

#include <functional>
#include <future>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>

#include "app/result.h"

class CWorker {
  public:
    using Body = std::function<void(std::stop_token)>;

    // Longest name the system shows; a longer one is cut.
    static constexpr size_t kNameMax = 15;

    CWorker() = default;
    // Asks a running body to stop and waits for it, however long it takes.
    ~CWorker() { vStop(0); }
    CWorker(const CWorker&) = delete;
    CWorker& operator=(const CWorker&) = delete;

    // Starts body on a new thread called name (its first kNameMax characters). A body
    // still running is stopped first, without a time limit. Fails, with the system's
    // reason, when no thread can be made; nothing runs then.
    CResult<void> sStart(std::string_view name, Body body);
    // True from sStart until the body has returned.
    bool fgRunning() const;
    // Asks the body to stop without waiting.
    void vRequestStop() { m_thread.request_stop(); }
    // Asks the body to stop and waits for it. A body still running after waitMs
    // (0: no limit) gets a diagnostic line naming the thread and is waited for on, since
    // it still uses its owner's state. Returns false when it took longer than waitMs.
    // No effect when nothing was started.
    bool fgStop(int waitMs);
    void vStop(int waitMs) { (void)fgStop(waitMs); }
    // The name given to the last sStart, as cut.
    const std::string& strName() const { return m_strName; }

  private:
    std::string m_strName;
    std::future<void> m_finished;
    std::jthread m_thread;
};

// Names the calling thread (its first CWorker::kNameMax characters). For threads that
// CWorker does not start, such as a pool's.
void vNameThisThread(std::string_view name);
