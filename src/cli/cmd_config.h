#pragma once

#include <ostream>

#include "cli/cli_options.h"

class CLanStation;
class CCliView;

// kestrel-cli config IP: prints the device's configuration text. Exit: 0 printed,
// 3 the device could not give it, 4 no answer.
int iConfigVerb(const CCliOptions& options, CLanStation& lan, CCliView& view, std::ostream& out,
                std::ostream& err);
