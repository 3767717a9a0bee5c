#include "app/dbg_print.h"

#include <cstdarg>
#include <cstdio>
#include <string_view>

#include "platform/log_sink.h"

void vDbgPrint(const char* format, ...) {
    char line[kDbgLineMax + 1] = {};
    va_list args;
    va_start(args, format);
    const int wanted = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (wanted < 0) {
        return;
    }
    const auto length = static_cast<size_t>(wanted < kDbgLineMax ? wanted : kDbgLineMax);
    vLogSinkWrite(std::string_view(line, length));
}
