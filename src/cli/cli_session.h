#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <ostream>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "app/line_limiter.h"
#include "app/one_shot.h"
#include "check/expected_bench.h"
#include "cli/cli_options.h"
#include "protocol/lan_station.h"

using CliClock = std::chrono::steady_clock;

// Collects what the station reports about one device: its results and the reply
// types it sent. Everything from other addresses is dropped at once, so a flood from
// elsewhere neither shows in the output nor piles up in memory.
class CCliView final : public IStationView, public ILanReceiver {
  public:
    // The device whose results and replies are kept (0: none).
    void vSetDevice(std::uint32_t addrNet) { m_uiDevice = addrNet; }

    void vOnResult(const CCmdResult& result) override;
    void vOnDatagram(std::span<const std::uint8_t> data, const CEndpoint& from) override;
    void vOnAnnouncement(std::span<const std::uint8_t>, const CEndpoint&) override {}

    // Waits for a reply of one of the types from the device; the type, or 0 on time-out.
    // param (when given) gets the reply's parameter byte, its status.
    std::uint8_t byWaitReply(const std::set<std::uint8_t>& types, CliClock::time_point deadline,
                             std::uint8_t* param = nullptr);

    // Prints the device's result lines gathered so far, one per line, as people are
    // shown device text (strShownText). A result repeated is printed once with its
    // count, and a device gets a bounded number of lines a second (CLineLimiter), so
    // neither the output nor what is held for it can grow with what a device sends.
    void vFlushLines(std::ostream& out);

    // Whether a result with this code is among those gathered and not yet printed.
    bool fgHasResult(int code);

  private:
    std::atomic<std::uint32_t> m_uiDevice{0};
    std::mutex m_lock;
    std::condition_variable m_replied;
    CLineLimiter m_limiter;
    std::vector<std::string> m_lines;                             // to print
    std::set<int> m_codes;                                        // of the results not yet printed
    std::deque<std::pair<std::uint8_t, std::uint8_t>> m_replies;  // type, parameter byte
};

// Searches and turns replies into records until the deadline, or until stopWhen
// holds. The broadcast is repeated as CSearchRounds says: at least three times, and
// again while new devices keep answering or while wantMore (when given) holds.
void vSearchUntil(CStation& station, CliClock::time_point deadline,
                  const std::function<bool()>& stopWhen,
                  const std::function<bool()>& wantMore = {});

// How long a search for an expected bench may go on at least: long enough for
// enough rounds to find every device of a bench through a lossy network.
inline constexpr std::chrono::milliseconds kExpectSearchMin{15000};

// Searches until every device of the expected bench answered, or until the longer of
// timeout and kExpectSearchMin has passed. Returns the comparison of what was found
// with the bench (its missing devices named when the bench is a list).
CBenchComparison sSearchUntilExpected(CStation& station, const CExpectedBench& expected,
                                      std::chrono::milliseconds timeout);

// The row of the device at addrNet in the list, or -1.
int iRowOf(const CStation& station, std::uint32_t addrNet);

// A request that never left: said at once instead of waiting out the time-out.
int iSendFailed(const std::string& ip, std::ostream& err);

// Finds the device at options.m_args[0] by a search and selects its row, which sends
// the login request as a click in the list does; then, unless only the login reply is
// wanted, runs the login check every command runs first. Returns kCliOk when the
// device may be commanded, else the exit code (the reason on err). loginReply gets the
// login reply type (0: none in time).
int iOpenDevice(const CCliOptions& options, CStation& station, CCliView& view, std::ostream& out,
                std::ostream& err, std::uint8_t* loginReply = nullptr);
