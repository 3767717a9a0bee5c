#pragma once

#include <ostream>

#include "cli/cli_options.h"

class CLanStation;
class CCliView;

// kestrel-cli log IP [--seconds N]: prints what the device logs for N seconds (default
// 10) as it arrives, keeping printing alive every second, and stops it at the end.
// Exit: 0 the device printed something, 4 nothing came; 2 for a bad --seconds.
int iLogVerb(const CCliOptions& options, CLanStation& lan, CCliView& view, std::ostream& out,
             std::ostream& err);
