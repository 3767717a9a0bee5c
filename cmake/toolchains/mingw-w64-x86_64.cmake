# Cross-build for 64-bit Windows with Debian's MinGW-w64 (posix threads). The
# third-party libraries (FFmpeg, opencore-amr, nettle) come from the folder that
# scripts/build-windows fills: KESTREL_WINDOWS_DEPS, from the environment or the cache,
# default ~/.cache/kestrel/windows-deps.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KESTREL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KESTREL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTREL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KESTREL_MINGW_TRIPLE}-windres)

if(NOT KESTREL_WINDOWS_DEPS)
  if(DEFINED ENV{KESTREL_WINDOWS_DEPS})
    set(KESTREL_WINDOWS_DEPS "$ENV{KESTREL_WINDOWS_DEPS}")
  else()
    set(KESTREL_WINDOWS_DEPS "$ENV{HOME}/.cache/kestrel/windows-deps")
  endif()
endif()
set(KESTREL_WINDOWS_DEPS "${KESTREL_WINDOWS_DEPS}" CACHE PATH
    "Third-party libraries built for Windows by scripts/build-windows")
# try_compile reads this file again in the same process: the folder must reach it, or its
# default would replace the pkg-config folder set below for the whole configure.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KESTREL_WINDOWS_DEPS)

set(CMAKE_FIND_ROOT_PATH /usr/${KESTREL_MINGW_TRIPLE} ${KESTREL_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config answers for the Windows libraries only.
set(ENV{PKG_CONFIG_LIBDIR} "${KESTREL_WINDOWS_DEPS}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# zlib is linked in; the C++ and GCC run-time libraries too, so that only the
# third-party DLLs and the thread library travel with the programs.
set(ZLIB_USE_STATIC_LIBS ON)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
# printf and friends format as C99 says (%zu, %lld), whatever the system's C library.
add_compile_definitions(__USE_MINGW_ANSI_STDIO=1 WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

# ctest runs the test programs under Wine.
find_program(KESTREL_WINE NAMES wine wine64)
if(KESTREL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KESTREL_WINE})
endif()
