#pragma once

#include <string_view>

// Where the diagnostic lines go: appended to the file named by KESTREL_LOG when that
// is set and can be opened (the file is opened on the first line and kept), else to
// standard error; on Windows also to the debugger (OutputDebugString). Each line is
// written in one call, so lines of concurrent threads stay whole. Never fails.
void vLogSinkWrite(std::string_view line);
