#pragma once

#include <cstdio>
#include <string>

#include "platform/files.h"

// Reads up to `size` bytes of the file into buffer, in chunks of at most 128 KiB.
// Returns the number of bytes read, 0 on any failure (missing path or buffer, file
// not readable, nothing read; the last also writes "read fail").
int iReadFileBuf(const char* path, int size, void* buffer);

// Appends `length` bytes to file, creating it (truncated, "wb+") from path when it
// is not open yet. Returns the bytes written, 0 when length < 1, -1 when the file
// cannot be created. The caller keeps `file` open between calls.
int iWriteBufToFile(int length, FilePtr& file, const char* path, const void* data);

// Where the station keeps the files it writes and finds the files it only reads.
//
// Run from a build folder (or any folder of its own) the program's folder holds both,
// as it always has. Installed (cmake --install, the Debian package) the programs sit in
// a shared folder such as /usr/bin that the operator cannot write, with their read-only
// data in the data folder kDataDirFromProgramDir beside it (<prefix>/share/kestrel);
// the existence of that data folder is what marks an installed program.

// The data folder relative to the program's folder, with one trailing separator.
extern const char* const kDataDirFromProgramDir;

// The folder for the files the station writes (saved passwords, exports, recordings),
// with one trailing separator. programDir itself when the program is not installed
// and the process may write there. Otherwise the per-user folder: "kestrel" in
// sUserDataHome() ($XDG_DATA_HOME or $HOME/.local/share; %LOCALAPPDATA% on Windows),
// created (private to the user, parents as needed) when missing. When no per-user folder can be
// found or made, programDir, so that writes fail where they always did and report it.
std::string strGetWritableDir(const std::string& programDir);

// Path of a file the station only reads (the language file, the horn test's sound):
// programDir + name when that file exists, else the copy in the data folder when that
// exists, else programDir + name (a missing file is reported against the program's
// folder, as before).
std::string strFindDataFile(const std::string& programDir, const std::string& name);
// The same, looking in userDir (the per-user folder; empty: not at all) after the
// program's folder and before the data folder: files an operator puts there.
std::string strFindDataFile(const std::string& programDir, const std::string& userDir,
                            const std::string& name);
