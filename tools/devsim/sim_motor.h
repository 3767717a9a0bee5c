#pragma once

// The pan/tilt motors of a simulated camera: a move runs one step per period of the
// motor's timer (the timer value times 100 us; 0 counts as 1) until it reaches its
// target, so the position read back changes while the motor runs.

#include <chrono>
#include <cstdint>

namespace devsim {

using CSimClock = std::chrono::steady_clock;
using CSimTime = CSimClock::time_point;

// Motor ranges in steps.
inline constexpr std::uint16_t kMotorRangeH = 4096;
inline constexpr std::uint16_t kMotorRangeV = 1024;
inline constexpr auto kMotorTimerUnit = std::chrono::microseconds(100);

// One move under way.
struct CSimMotorRun {
    std::uint16_t m_usFrom = 0;
    std::uint16_t m_usTo = 0;
    CSimTime m_start{};
    CSimClock::duration m_stepPeriod{};
};

// A move of `steps` (negative: towards 0) from `from`, its target kept in [0, range].
CSimMotorRun sStartMotorRun(std::uint16_t from, int steps, std::uint16_t range, std::uint8_t timer,
                            CSimTime now);

// Where the run is at `now` (its start position before it started).
std::uint16_t iMotorPosAt(const CSimMotorRun& run, CSimTime now);

}  // namespace devsim
