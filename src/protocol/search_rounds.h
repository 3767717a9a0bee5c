#pragma once

#include <chrono>
#include <cstddef>

// When a search broadcasts again. One broadcast can be lost, and so can any of the
// answers, so a search repeats it: the second broadcast kFirstGap after the first,
// each gap then twice the one before, up to kGapMax. At least kRoundsMin broadcasts
// go out; after that one more only when a device answered for the first time since
// the last one (devices are still arriving), or while more devices are wanted (an
// expected bench is not complete yet). A pure schedule: its owner sends and drives
// the time.
class CSearchRounds {
  public:
    using Clock = std::chrono::steady_clock;

    static constexpr int kRoundsMin = 3;
    static constexpr std::chrono::milliseconds kFirstGap{100};
    static constexpr std::chrono::milliseconds kGapMax{1000};

    // The first broadcast went at start.
    explicit CSearchRounds(Clock::time_point start);

    // Whether to broadcast now, found being the devices found so far (a count that
    // only grows) and wantMore whether devices are still missing. True counts a round.
    bool fgBroadcastDue(Clock::time_point now, std::size_t found, bool wantMore);

    // Broadcasts so far, the first included.
    int iRounds() const { return m_iRounds; }

  private:
    Clock::time_point m_next;
    std::chrono::milliseconds m_gap = kFirstGap;
    std::size_t m_iFoundAtLastRound = 0;
    int m_iRounds = 1;
};
