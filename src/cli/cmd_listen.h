#pragma once

#include <ostream>

#include "cli/cli_options.h"

// kestrel-cli listen IP [--seconds N] --out FILE: logs in to the device's listen
// channel with --password (user "admin"), decodes its AMR sound for N seconds
// (default 5) and writes it to FILE as a WAV file (8,000 Hz, one channel, 16 bits;
// an empty one when no sound came). Prints packets, frames (20 ms each), seconds of
// sound, sequence gaps, dropped frames and reconnects. Talks to the device directly,
// without a search. Exit: 0 sound arrived, 1 FILE cannot be written, 2 usage error,
// 3 login refused, 4 nothing arrived.
int iListenCommand(const CCliOptions& options, std::ostream& out, std::ostream& err);
