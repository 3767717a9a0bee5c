#pragma once

#include <ostream>

#include "cli/cli_options.h"

class CLanStation;
class CCliView;

// kestrel-cli sensors IP: the device's sensors, one "INDEX KIND NAME" line each, or a
// JSON array with --json. Exit: 0 listed, 3 the device could not list them, 4 no answer.
int iSensorsVerb(const CCliOptions& options, CLanStation& lan, CCliView& view, std::ostream& out,
                 std::ostream& err);
