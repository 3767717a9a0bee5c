#pragma once

// kestrel-cli upgrade FILE... --to IP... | --all [--expect N|FILE] [--type KIND] [--wave N]
// [--stop-after K] [--expect-version V [--verify-timeout S]]: the station's firmware
// upgrade without a window.

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "check/expected_bench.h"
#include "cli/cli_options.h"
#include "upgrade/upgrader.h"

class CLanStation;

struct CUpgradeArgs {
    std::vector<std::string> m_files;
    std::vector<std::string> m_targets;        // dotted addresses; empty with m_fgAll
    bool m_fgAll = false;                      // every device that answers a search
    std::optional<CExpectedBench> m_expected;  // with m_fgAll: the bench to wait for
    int m_iType = -1;                          // requested type; -1 classifies by path
    CUpgPlan m_plan;                           // waves, failure limit, expected version
};

// Parses the arguments after "upgrade"; nullopt with the reason in error.
std::optional<CUpgradeArgs> sParseUpgradeArgs(const std::vector<std::string>& args,
                                              std::string& error);

// Each named file that cannot be sent, as "PATH: why" (missing, not a regular file,
// unreadable, empty, 2 GiB or larger, of no accepted type or not of the requested one).
std::vector<std::string> vecUpgFileFaults(const CUpgradeArgs& args);

// Runs the upgrade on the started station: the files are vetted first (any fault:
// each is named on err, exit 2, nothing is sent); then one run over every target,
// with one line per device state change, the summary, and the final table; with
// --json the lines go to err and out holds only the JSON array. searchAll lists the devices that
// answer a search (for --all), searching until every device of the expected bench answered when one
// is given. With --expect, a bench still incomplete after the search is named ("found 48 of 50",
// "missing: ..."), the devices found are upgraded, and the exit code is 3 however
// they end. Exit code: 0 every device confirmed, 4 none was reached, 3 otherwise.
// Stops the station's transport before it returns. onRunEnd (when given) is told the
// files sent and every device's verdict once the run has ended, before the table.
struct CUpgSearch {
    std::vector<std::string> m_addresses;     // dotted addresses of the devices found
    std::optional<CBenchComparison> m_bench;  // with an expected bench
};
using FnUpgSearch = std::function<CUpgSearch(const std::optional<CExpectedBench>& expected)>;
using FnUpgradeRunEnd = std::function<void(const std::vector<CUpgFile>& files,
                                           const std::vector<CUpgDeviceResult>& devices)>;
int iUpgradeCommand(const CCliOptions& options, CLanStation& lan, const FnUpgSearch& searchAll,
                    std::ostream& out, std::ostream& err, const CUpgOptions& upgOptions = {},
                    const FnUpgradeRunEnd& onRunEnd = {});
