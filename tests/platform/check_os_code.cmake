# Fails when a source file of the programs outside src/platform includes an
# operating-system header or calls a POSIX function that Windows lacks. Qt headers are
# fine; so are the C and C++ standard headers.
#   cmake -DKESTREL_SOURCE_DIR=<repository> -P check_os_code.cmake
set(os_headers
  "unistd\\.h" "fcntl\\.h" "sys/[a-z_]+\\.h" "arpa/[a-z_]+\\.h" "netinet/[a-z_]+\\.h"
  "net/if\\.h" "netdb\\.h" "ifaddrs\\.h" "iconv\\.h" "langinfo\\.h" "poll\\.h" "signal\\.h"
  "pthread\\.h" "dirent\\.h" "dlfcn\\.h" "pwd\\.h" "termios\\.h" "spawn\\.h" "linux/[a-z_]+\\.h"
  "windows\\.h" "winsock2?\\.h" "ws2tcpip\\.h" "iphlpapi\\.h" "mswsock\\.h" "io\\.h"
  "direct\\.h" "shlobj\\.h" "process\\.h")
string(JOIN "|" header_pattern ${os_headers})
set(include_pattern "#[ \t]*include[ \t]*<(${header_pattern})>")
set(posix_calls
  localtime_r gmtime_r readlink mkstemp mkostemp mkdtemp fchmod fsync setenv unsetenv
  getifaddrs inet_pton inet_ntop inet_addr ntohl htonl ntohs htons sigwait sigaction
  pthread_sigmask getrlimit setrlimit nl_langinfo iconv_open socketpair fcntl getuid geteuid
  gethostname timegm
  pipe2)
string(JOIN "|" call_pattern ${posix_calls})
set(call_pattern "(^|[^A-Za-z0-9_])(::)?(${call_pattern})[ \t]*\\(")
# Socket results compared with system error numbers instead of eSockErr.
set(errno_pattern "[=!]=[ \t]*-E(PIPE|CONNRESET|CONNABORTED|AGAIN|WOULDBLOCK|INPROGRESS|INTR)([^A-Z]|$)")

file(GLOB_RECURSE sources
  "${KESTREL_SOURCE_DIR}/src/*.h" "${KESTREL_SOURCE_DIR}/src/*.cpp"
  "${KESTREL_SOURCE_DIR}/tools/*.h" "${KESTREL_SOURCE_DIR}/tools/*.cpp")
if(NOT sources)
  message(FATAL_ERROR "no sources under ${KESTREL_SOURCE_DIR}")
endif()
set(offences "")
foreach(source ${sources})
  file(RELATIVE_PATH relative "${KESTREL_SOURCE_DIR}" "${source}")
  if(relative MATCHES "^src/platform/")
    continue()
  endif()
  # One list entry per line: the semicolons of the code go first (list separators).
  file(READ "${source}" content)
  string(REPLACE ";" "," content "${content}")
  string(REPLACE "[" "(" content "${content}")
  string(REPLACE "]" ")" content "${content}")
  string(REPLACE "\n" ";" lines "${content}")
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    string(REGEX REPLACE "//.*$" "" code "${line}")
    if(code MATCHES "${include_pattern}" OR code MATCHES "${call_pattern}" OR
       code MATCHES "${errno_pattern}")
      string(APPEND offences "\n  ${relative}:${number}: ${line}")
    endif()
  endforeach()
endforeach()
if(offences)
  message(FATAL_ERROR "operating-system code outside src/platform:${offences}")
endif()
list(LENGTH sources count)
message(STATUS "${count} files checked: operating-system code only in src/platform")
