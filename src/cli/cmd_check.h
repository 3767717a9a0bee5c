#pragma once

#include <optional>
#include <ostream>
#include <vector>

#include "check/expected_bench.h"
#include "cli/cli_options.h"
#include "protocol/dev_info.h"

// kestrel-cli check [--expect N|FILE] [--version V] [--steps LIST] [--parallel K]
//                   [--stream main|sub] [--horn-file FILE] [--limit SECONDS]
//                   --report DIR [IP...]
// Searches, then runs the line check on every device found (or on every IP given),
// prints one line per device as it finishes, the expected-bench summary and where the
// report went (DIR/check-YYYYMMDD-HHMMSS: CSV, JSON, HTML and the pictures).
// LIST: login,uid,version,sd,wifi,video,audio,horn (default login,uid,video, plus
// version when --version is given). Exit: 0 every device passed (and the bench is
// complete), 1 the sockets or the report could not be made, 2 usage error, 3 a device
// failed or the bench is incomplete, 4 no device to check.
int iCheckCommand(const CCliOptions& options, std::ostream& out, std::ostream& err);

// search --expect N|FILE: the expected bench from the search's arguments; nullopt when
// none is asked for. usageError is set (with the reason on err) for bad arguments.
std::optional<CExpectedBench> sSearchExpectation(const CCliOptions& options, std::ostream& err,
                                                 bool& usageError);
// Prints the comparison of the found devices with the bench; kCliOk when complete,
// kCliDeviceFailed otherwise.
int iPrintBench(const CExpectedBench& expected, const std::vector<CDevInfo>& devices,
                std::ostream& out);
