#pragma once

// The diagnostic line. Every line is printf-formatted, cut at 1023 characters and
// written in one piece to standard error, or appended to the file named by the
// KESTREL_LOG environment variable when it is set (so a run's log can be kept).
// By convention the format begins with "camkit:%s, %d=>" or "camkit:err:%s, %d=>",
// followed by the class-and-method name and the source line.
// Reentrant and safe from any thread; never fails, never blocks beyond one write.
// MinGW's C library formats as GNU's does (%zu, %lld), so the checks follow GNU's rules
// there rather than Microsoft's.
#if defined(__MINGW32__)
#define KESTREL_PRINTF_LIKE(fmtIndex, argIndex) \
    __attribute__((format(gnu_printf, fmtIndex, argIndex)))
#elif defined(__GNUC__)
#define KESTREL_PRINTF_LIKE(fmtIndex, argIndex) __attribute__((format(printf, fmtIndex, argIndex)))
#else
#define KESTREL_PRINTF_LIKE(fmtIndex, argIndex)
#endif

void vDbgPrint(const char* format, ...) KESTREL_PRINTF_LIKE(1, 2);

// Longest line vDbgPrint writes, without its terminator.
inline constexpr int kDbgLineMax = 1023;
