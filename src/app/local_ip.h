#pragma once

#include <cstdint>

inline constexpr int kLocalIpMax = 6;

// Fills up to six IPv4 interface addresses and their masks (network byte order), in
// the order the system lists them, leaving out 127.0.0.1. masks may be null.
// Returns the number filled, -1 when addresses is null, -2 when the system table
// cannot be read.
int iGetLocalIpTab(std::uint32_t* addresses, std::uint32_t* masks);
