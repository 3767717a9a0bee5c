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

#include "app/one_shot.h"
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

    // Prints the device's result lines gathered so far, one per line, as valid UTF-8
    // (what a device sent may be anything).
    void vFlushLines(std::ostream& out);

    // Whether a result with this code is among those gathered and not yet printed.
    bool fgHasResult(int code);

  private:
    std::atomic<std::uint32_t> m_uiDevice{0};
    std::mutex m_lock;
    std::condition_variable m_replied;
    std::vector<CCmdResult> m_results;
    std::deque<std::pair<std::uint8_t, std::uint8_t>> m_replies;  // type, parameter byte
};

// Searches (twice, as the window does) and turns replies into records until the
// deadline, or until stopWhen holds.
void vSearchUntil(CStation& station, CliClock::time_point deadline,
                  const std::function<bool()>& stopWhen);

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
