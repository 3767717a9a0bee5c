#pragma once

#include <ostream>

#include "cli/cli_options.h"

class IUdpSender;

// kestrel-cli horn IP [FILE]: the horn test for one device. Asks it to open its audio
// receiver, pushes FILE (default: "Audio.bin" found beside the program, then in the
// data folder) to its TCP port 24222 and prints the bytes sent. Sends no stop request:
// the device plays what it received. Exit: 0 sent, 1 no file or no socket, 2 usage
// error, 3 the connection failed while sending, 4 the device was not reached.
int iHornCommand(const CCliOptions& options, IUdpSender& sender, std::ostream& out,
                 std::ostream& err);
