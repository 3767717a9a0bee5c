#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

struct CFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
// An open file, closed by its owner.
using FilePtr = std::unique_ptr<std::FILE, CFileCloser>;

// The steps of a file written whole or not at all:
//   FilePtr file = sCreatePrivateTemp(finalPath, tempPath);  write into file;
//   iFlushToDisk(file.get()) == 0, close it, then iReplaceFile(tempPath, finalPath) == 0;
//   on any failure remove tempPath and leave finalPath as it was.

// Creates a new file for binary writing in finalPath's folder, under a name no file had
// (finalPath's name, a dot and random characters), readable and writable by its owner
// only. Fills tempPath; null when it cannot be created.
FilePtr sCreatePrivateTemp(const std::filesystem::path& finalPath, std::filesystem::path& tempPath);

// Writes the file's buffered bytes and has the system put them on the disk.
// 0 on success, -1 on failure.
int iFlushToDisk(std::FILE* file);

// Moves the file from over the file to in one step, replacing an existing one: a
// reader sees the old file or the new one, never none and never a part. The folder
// entry is put on the disk too where the system allows. 0 on success, -1 on failure
// (from then still exists).
int iReplaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

// Who may read a file written by iWriteFileReplacing (POSIX modes; on Windows the folder's
// protection applies either way).
enum class EReplaceAccess { kOwnerOnly, kEveryone };

// Replaces the file at path by bytes in the steps above: a new temporary file beside it
// (created exclusively, never someone else's), the whole write, flushed to the disk,
// closed, moved over path, the folder synced. 0 when path holds the new bytes; else the
// C library error number (errno value) of the step that failed, the temporary file gone
// and path as it was.
int iWriteFileReplacing(const std::string& path, std::string_view bytes, EReplaceAccess access);
