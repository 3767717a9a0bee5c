#pragma once

// kestrel-cli upgrade FILE... --to IP... | --all [--type KIND]: the station's firmware
// upgrade without a window.

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "upgrade/upgrade_view.h"

class CLanStation;

struct CUpgradeArgs {
    std::vector<std::string> m_files;
    std::vector<std::string> m_targets;  // dotted addresses; empty with m_fgAll
    bool m_fgAll = false;                // every device that answers a search
    int m_iType = -1;                    // requested type; -1 classifies by path
};

// Parses the arguments after "upgrade"; nullopt with the reason in error.
std::optional<CUpgradeArgs> sParseUpgradeArgs(const std::vector<std::string>& args,
                                              std::string& error);

// Runs the upgrade on the started station and prints the result lines as they come,
// a progress line per running device at most once a second and the final table (or
// JSON with --json). searchAll lists the devices that answer a search (for --all).
// Exit code: 0 every device succeeded, 4 none answered, 3 otherwise; 2 when no file
// is of an accepted type or no device is targeted. Stops the station's transport
// before it returns. onRunEnd (when given) is told the files sent and every device's
// result once the run has ended, before the table is printed.
using FnUpgradeRunEnd = std::function<void(const std::vector<CUpgFile>& files,
                                           const std::vector<CUpgDeviceResult>& devices)>;
int iUpgradeCommand(const CCliOptions& options, CLanStation& lan,
                    const std::function<std::vector<std::string>()>& searchAll, std::ostream& out,
                    std::ostream& err, const FnUpgradeRunEnd& onRunEnd = {});
