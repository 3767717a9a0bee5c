#pragma once

#include <ostream>

#include "cli/cli_options.h"

class CCliView;
class CLanStation;

// kestrel-cli video-params IP [--main RES,FPS,BITRATE,STANDARD] [--sub ...]: without
// options reads and prints the settings of both streams; with them writes the given
// streams (the other one as the device has it), then reads back and prints. RES is a
// resolution name of that stream (main: D1, VGA, 720P, 1080P; sub: QCIF, CIF, 2CIF,
// QVGA, VGA; any case) or a code 0 to 255 sent as it is (the device decides);
// STANDARD is PAL, NTSC, AUTO or a number. The frame rate keeps its low 8 bits and the
// bit rate its low 16 bits, as their fields hold them; a cut is noted on err. Prints
// the device's result lines. Exit: 0 read (and written), 2 usage error, 3 the device
// refused, 4 no answer.
int iVideoParamsVerb(const CCliOptions& options, CLanStation& lan, CCliView& view,
                     std::ostream& out, std::ostream& err);
