#pragma once

#include <filesystem>
#include <string>

// The platform's path separator and the name of the device that discards what is
// written to it.
// kPathSeps: every character that separates folders in a path (Windows takes '/' too).
#ifdef _WIN32
inline constexpr char kPathSep = '\\';
inline constexpr const char* kPathSeps = "\\/";
inline constexpr const char* kNullDevice = "NUL";
#else
inline constexpr char kPathSep = '/';
inline constexpr const char* kPathSeps = "/";
inline constexpr const char* kNullDevice = "/dev/null";
#endif

// Full path of the running program; empty when the system cannot tell.
std::string strExecutablePath();

// The folder under which programs keep per-user data: $XDG_DATA_HOME when it is an
// absolute path, else $HOME/.local/share (POSIX); %LOCALAPPDATA% (Windows). Empty when
// the environment names none.
std::filesystem::path sUserDataHome();

// Creates dir and every missing parent; folders made here are open to their owner only
// (mode 0700 on POSIX; on Windows they inherit the per-user folder's protection).
// True when dir is a folder afterwards.
bool fgMakePrivateDirs(const std::filesystem::path& dir);

// True when the process may create files in the folder dir.
bool fgCanWriteDir(const std::string& dir);

// Tells this user's files from other users' in a folder every user shares: "-" and the
// user id on POSIX; empty on Windows, whose temporary folder is the user's own.
std::string strSharedFolderUserTag();
