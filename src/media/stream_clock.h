#pragma once

// Time as the stream client sees it: its threads count 20 ms sleeps, so whoever owns
// the clock decides how fast the watchdog's seconds pass. The program uses the steady
// clock; tests drive a clock of their own.

#include <chrono>
#include <stop_token>

class IStreamClock {
  public:
    using Clock = std::chrono::steady_clock;
    virtual ~IStreamClock() = default;
    virtual Clock::time_point tpNow() = 0;
    // Sleeps for duration, or less when stop is requested meanwhile. false when stop
    // was requested (before or during the sleep). Thread-safe.
    virtual bool fgSleepFor(std::chrono::milliseconds duration, const std::stop_token& stop) = 0;
};

// The real clock: steady time and sleeps that end at once on a stop request.
class CSteadyStreamClock final : public IStreamClock {
  public:
    Clock::time_point tpNow() override { return Clock::now(); }
    bool fgSleepFor(std::chrono::milliseconds duration, const std::stop_token& stop) override;
};
