#pragma once

#include <ctime>

// The broken-down local time of `when` in the process's time zone. Safe from any thread.
std::tm tmLocalTime(std::time_t when);
// The broken-down UTC time of `when`. Safe from any thread.
std::tm tmUtcTime(std::time_t when);
