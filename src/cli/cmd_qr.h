#pragma once

#include <ostream>
#include <string>

// kestrel-cli qr UID FILE: writes the UID's QR code as the station draws it, a 264 x 264
// black-and-white bitmap file, or the same picture as PNG when FILE ends in ".png"
// (any case). Touches no network. Prints the file written to out and the reason of a
// failure to err. Returns kCliOk, kCliUsage when the UID cannot be encoded (the
// message names the character or the length), kCliSetupFailed when the file cannot be
// written.
int iRunQrCommand(const std::string& uid, const std::string& path, std::ostream& out,
                  std::ostream& err);
