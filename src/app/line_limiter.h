#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// Bounds what devices can make the station print. Each line has a source (a device's
// address); the same line again from the same source is printed once, its repeats
// counted and told when that source says something else or at vecFlush:
// "<line> (repeated N more times)". Each source gets at most linesPerSecond lines in
// any one second; what it says beyond that is counted and told once the next second
// starts or at vecFlush: "<source>: N more lines not shown". So one source prints at
// most linesPerSecond + 2 lines a second however fast it talks.
// Not thread-safe: its owner serialises the calls.
class CLineLimiter {
  public:
    using Clock = std::chrono::steady_clock;

    explicit CLineLimiter(int linesPerSecond = kDefaultLinesPerSecond);

    // The lines to print now for line from source (none, the line, or notes first).
    std::vector<std::string> vecOnLine(const std::string& source, const std::string& line,
                                       Clock::time_point now);
    // The notes still held: repeat counts and lines not shown, by source.
    std::vector<std::string> vecFlush();
    // Whether a line has the form of one of the notes (so that a printer can put it on
    // a line of its own; a device's text may have that form too).
    static bool fgIsNote(std::string_view line);

    static constexpr int kDefaultLinesPerSecond = 20;
    // Sources followed one by one; further sources share one budget.
    static constexpr std::size_t kSourcesMax = 4096;

  private:
    struct CSourceState {
        std::string m_strLast;
        bool m_fgLastShown = false;
        long m_lRepeats = 0;  // of m_strLast, shown
        Clock::time_point m_windowStart{};
        int m_iInWindow = 0;
        long m_lDropped = 0;
    };
    static void vTakeNotes(const std::string& source, CSourceState& state,
                           std::vector<std::string>& out);

    int m_iLinesPerSecond;
    std::map<std::string, CSourceState, std::less<>> m_sources;
};
