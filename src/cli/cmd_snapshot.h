#pragma once

#include <ostream>

#include "cli/cli_options.h"

// kestrel-cli snapshot IP [--stream main|sub] [--seconds N] FILE.png: logs in to the
// device's live stream with --password (user "admin"), waits up to N seconds (default
// 5) for a key frame, decodes it and writes it to FILE as a PNG picture; prints the
// size and the mean luma. Talks to the device directly, without a search. Exit: 0
// written, 1 no decoder or the file could not be written, 2 usage error, 3 login
// refused or the key frame did not decode, 4 no key frame arrived.
int iSnapshotCommand(const CCliOptions& options, std::ostream& out, std::ostream& err);
