#pragma once

#include <cstdio>
#include <memory>

struct CFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
// An open file, closed by its owner.
using FilePtr = std::unique_ptr<std::FILE, CFileCloser>;

// Reads up to `size` bytes of the file into buffer, in chunks of at most 128 KiB.
// Returns the number of bytes read, 0 on any failure (missing path or buffer, file
// not readable, nothing read; the last also writes "read fail").
int iReadFileBuf(const char* path, int size, void* buffer);

// Appends `length` bytes to file, creating it (truncated, "wb+") from path when it
// is not open yet. Returns the bytes written, 0 when length < 1, -1 when the file
// cannot be created. The caller keeps `file` open between calls.
int iWriteBufToFile(int length, FilePtr& file, const char* path, const void* data);
