#pragma once

// The station's one diagnostic logger. A line names its component (the source folder:
// net, protocol, media, ...), the function and the source line by itself, and has a
// level; lines above their component's level are dropped. Written lines go to standard
// error, or are appended to the file named by the KESTREL_LOG environment variable; never
// to standard output, which belongs to the command-line station's results.
//
//   KLOG_ERR("bind %s:%d refused: %s", ip, port, reason);
//   => camkit:err:net:iCreateUdpSocket, 48=>bind 10.0.0.2:24216 refused: Address in use
//
// A line is printf-formatted, ends in "\r\n" (added) and is at most kLogLineMax
// characters with its terminator; it is written in one piece, so lines of concurrent
// threads stay whole. Safe from any thread; never fails, never blocks beyond one write.

#include <string>
#include <string_view>

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

enum class ELogLevel { kOff = 0, kError = 1, kWarn = 2, kInfo = 3, kDebug = 4 };

// Longest line written, its "\r\n" included.
inline constexpr int kLogLineMax = 1023;

// Where a line was written. Filled in by the KLOG_ macros; std::source_location would do,
// but not every compiler we build with has it.
struct CLogWhere {
    const char* m_file;      // the source file's path
    const char* m_function;  // the function's signature
    int m_line;
};

#if defined(__GNUC__)
#define KESTREL_LOG_FUNCTION __PRETTY_FUNCTION__
#else
#define KESTREL_LOG_FUNCTION __func__
#endif
#define KESTREL_LOG_WHERE (CLogWhere{__FILE__, KESTREL_LOG_FUNCTION, __LINE__})

#define KLOG_ERR(...) vLogWrite(ELogLevel::kError, KESTREL_LOG_WHERE, __VA_ARGS__)
#define KLOG_WARN(...) vLogWrite(ELogLevel::kWarn, KESTREL_LOG_WHERE, __VA_ARGS__)
#define KLOG_INFO(...) vLogWrite(ELogLevel::kInfo, KESTREL_LOG_WHERE, __VA_ARGS__)
#define KLOG_DEBUG(...) vLogWrite(ELogLevel::kDebug, KESTREL_LOG_WHERE, __VA_ARGS__)

// Writes one line of level from the code at where, if its component's level lets it.
void vLogWrite(ELogLevel level, const CLogWhere& where, const char* format, ...)
    KESTREL_PRINTF_LIKE(3, 4);

// The level of one component ("net", "media", ...), or of every component without a
// level of its own when component is empty. The start-up levels come from the
// KESTREL_LOG_LEVEL environment variable: "LEVEL" or "COMPONENT=LEVEL" items separated by
// commas, LEVEL one of off, err, warn, info, debug ("info,net=debug"). Without it every
// component logs up to info.
void vSetLogLevel(std::string_view component, ELogLevel level);
ELogLevel eLogLevel(std::string_view component);
// Applies a KESTREL_LOG_LEVEL text; false (and nothing changed) when an item is not
// understood.
bool fgApplyLogLevels(std::string_view levelsText);

// The parts of a line the logger takes from where it was written: the component of a
// source file path ("src/net/my_socket.cpp" -> "net", "tools/devsim/x.cpp" -> "devsim")
// and the class-and-function of a compiler's function signature
// ("bool CMySocket::Init(ILanReceiver&)" -> "CMySocket::Init").
std::string_view strLogComponent(std::string_view filePath);
std::string strLogFunction(std::string_view signature);
