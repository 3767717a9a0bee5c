#pragma once

#include <ostream>

#include "cli/cli_options.h"

class CLanStation;
class CCliView;

// kestrel-cli key IP CODE [PARAM...]: the control command, parameters as on the log
// page's command line (decimal, or hexadecimal after 0x; each gives its low 1 to 4
// bytes). Exit: 0 the device took it, 4 no answer; 2 for a negative or missing code.
int iKeyVerb(const CCliOptions& options, CLanStation& lan, CCliView& view, std::ostream& out,
             std::ostream& err);
