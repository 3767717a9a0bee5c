#pragma once

#include <ostream>

#include "cli/cli_options.h"

// kestrel-cli stream IP [--stream main|sub|listen] [--seconds N] [--record FILE]:
// logs in to the device's live stream with --password (user "admin"), receives for N
// seconds (default 5) and prints frames, key frames, frames per second, bit rate,
// sequence gaps and reconnects; --record writes the H.264 access units (an Annex B
// file) or the AMR frames (with the "#!AMR\n" file head) to FILE. Talks to the device
// directly, without a search. Exit: 0 media arrived, 2 usage error, 3 login refused,
// 4 nothing arrived.
int iStreamCommand(const CCliOptions& options, std::ostream& out, std::ostream& err);
