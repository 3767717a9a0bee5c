#pragma once

// One value handed from a worker (a receive thread, a feature's view, a test's end)
// to a thread that waits for it. The first value counts; later ones are dropped, so a
// reply that comes twice cannot change what the waiter already took.
//
//   COneShot<std::string> text;
//   ... on the receive thread: text.fgPut(value);
//   ... on the command's thread:
//   if (const std::optional<std::string> got = text.sWait(deadline)) { ... }
//
// Thread rules: fgPut from any thread, never blocking beyond the short internal lock;
// the waits from any thread.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <utility>

template <typename T>
class COneShot {
  public:
    using Clock = std::chrono::steady_clock;

    // Keeps value when none was put before; whether it was kept.
    bool fgPut(T value) {
        {
            std::lock_guard guard(m_lock);
            if (m_value) {
                return false;
            }
            m_value = std::move(value);
        }
        m_filled.notify_all();
        return true;
    }

    // Waits until a value is there or the deadline passed; the value, or nullopt.
    std::optional<T> sWait(Clock::time_point deadline) {
        std::unique_lock guard(m_lock);
        m_filled.wait_until(guard, deadline, [this] { return m_value.has_value(); });
        return m_value;
    }

    // Waits without a deadline: only for a producer whose own work is bounded in time
    // and always puts a value at its end.
    T sWaitForever() {
        std::unique_lock guard(m_lock);
        m_filled.wait(guard, [this] { return m_value.has_value(); });
        return *m_value;
    }

    // The value when one was put, without waiting.
    std::optional<T> sPeek() const {
        std::lock_guard guard(m_lock);
        return m_value;
    }

  private:
    mutable std::mutex m_lock;
    std::condition_variable m_filled;
    std::optional<T> m_value;
};
