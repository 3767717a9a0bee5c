#pragma once

// The socket layer lives with the rest of the operating-system code in src/platform;
// the network code names it by this header.
#include "platform/socket.h"
