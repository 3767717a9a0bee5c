#pragma once

#include <string_view>

// Gives the calling thread a name debuggers and the system's tools show. Linux keeps
// 15 characters of it; Windows 10 and later the whole name; older systems none.
void vSetThreadName(std::string_view name);
