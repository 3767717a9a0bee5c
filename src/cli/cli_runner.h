#pragma once

#include <ostream>

#include "cli/cli_options.h"

// Exit codes of kestrel-cli.
inline constexpr int kCliOk = 0;
inline constexpr int kCliSetupFailed = 1;  // the sockets could not be opened, or a send failed
inline constexpr int kCliUsage = 2;
inline constexpr int kCliDeviceFailed = 3;  // the device answered with a failure
inline constexpr int kCliNoAnswer = 4;      // no answer within the time-out

// Runs one command of the headless station: opens the transport, finds the device
// by a search, runs the command and prints to out the result lines the result pane
// would show (one per line, without the leading line break) or, for search, the
// device list. Problems of the station itself go to err. Returns the exit code.
int iRunCli(const CCliOptions& options, std::ostream& out, std::ostream& err);
