#include "media/stream_clock.h"

#include <condition_variable>
#include <mutex>

bool CSteadyStreamClock::fgSleepFor(std::chrono::milliseconds duration,
                                    const std::stop_token& stop) {
    std::mutex lock;
    std::condition_variable_any woken;
    std::unique_lock guard(lock);
    woken.wait_for(guard, stop, duration, [] { return false; });
    return !stop.stop_requested();
}
