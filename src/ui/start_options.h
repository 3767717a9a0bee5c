#pragma once

#include <string>
#include <vector>

#include "net/lan_interfaces.h"

// Simulated devices of a demonstration run when --demo names no number, and the most
// it starts.
inline constexpr int kDemoDefaultDevices = 24;
inline constexpr int kDemoMaxDevices = 1000;

// The command line of the station program:
//   --bind ADDR/PREFIX   open the transport on this local interface only (repeatable;
//                        without it, on the machine's interfaces)
//   --demo [N]           start N simulated devices (default 24) on loopback addresses
//                        from 127.0.0.2 and bind the station to 127.0.0.1/8
//   --screenshot FILE    write a PNG of the main window to FILE once the first search
//                        has settled (3 s after start) and close the window
struct CStartOptions {
    std::vector<CInterfaceAddr> m_binds;
    int m_iDemoDevices = 0;       // 0: no demonstration fleet
    std::string m_strScreenshot;  // empty: run until the operator closes the window
    std::string m_strError;       // not empty: the command line is refused, with this reason
};

// Reads the arguments after the program name. Unknown arguments, a malformed
// ADDR/PREFIX and a device count outside 1..1000 are errors.
CStartOptions sParseStartOptions(const std::vector<std::string>& args);
