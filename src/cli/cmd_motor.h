#pragma once

#include <ostream>

#include "cli/cli_options.h"

class CCliView;
class CLanStation;

// kestrel-cli motor IP ACTION: drives the pan/tilt motors of a camera. ACTION is
// position (read both positions), timer (read both timers), timer H V (write them,
// then read back), zero (the current position becomes zero), left|right|up|down STEPS
// (move by STEPS, its low 16 bits sent), stop-h or stop-v. Prints the device's result
// lines and, for position and timer, the values. Exit: 0 done, 2 usage error, 3 the
// device reported failure (or kept other timers than those written), 4 no answer.
int iMotorVerb(const CCliOptions& options, CLanStation& lan, CCliView& view, std::ostream& out,
               std::ostream& err);
