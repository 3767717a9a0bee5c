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
// The verb is looked up in the verb table (cli_verbs.h).
int iRunCli(const CCliOptions& options, std::ostream& out, std::ostream& err);

class CCliView;
class CLanStation;

// Handlers of the verbs that live here (rows of the verb table).
// search [--expect N|FILE]: the device list in the chosen format, and the bench's
// comparison when asked for.
int iSearchVerb(const CCliOptions& options, CLanStation& lan, CCliView& view, std::ostream& out,
                std::ostream& err);
// login, restart, reset, format-sd, set-uid, set-password, set-net, wifi-connect: one
// request to one device and the reply it is waited for.
int iDeviceVerb(const CCliOptions& options, CLanStation& lan, CCliView& view, std::ostream& out,
                std::ostream& err);
// upgrade and horn on the started station (cmd_upgrade.h, cmd_horn.h).
int iUpgradeVerb(const CCliOptions& options, CLanStation& lan, CCliView& view, std::ostream& out,
                 std::ostream& err);
int iHornVerb(const CCliOptions& options, CLanStation& lan, CCliView& view, std::ostream& out,
              std::ostream& err);
