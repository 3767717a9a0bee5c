#pragma once

#include <filesystem>
#include <functional>
#include <istream>
#include <string>
#include <string_view>

// File helpers of the saved-credential stores. Qt-free.

// Longest line a store reads, without its LF: lines up to the stores' 1024-byte line
// buffer. A longer line is never split into pieces that could pass for entries.
inline constexpr std::size_t kStoreLineMax = 1023;

// What fgReadStoreLine found.
enum class EStoreLine { kLine, kTooLong, kEnd };

// Reads the next line of the stream into `line` without its LF (a CR before the LF is
// kept). A line longer than kStoreLineMax bytes is consumed whole and reported as
// kTooLong with `line` empty; kEnd once nothing is left. Never holds more than
// kStoreLineMax + 1 bytes of a line.
EStoreLine eReadStoreLine(std::istream& stream, std::string& line);

// Calls onLine with each line of the store at `path` that eReadStoreLine reads whole. A
// store not written yet has no lines; one that cannot be opened has none either and is
// named in a diagnostic line.
void vForEachStoreLine(const std::filesystem::path& path,
                       const std::function<void(const std::string&)>& onLine);

// Replaces the file at `path` by `content` so that a crash, a full disk or a failed
// write leaves either the old file or the whole new one, never a part: the content
// goes to a new temporary file in the same folder, created readable and writable by
// the owner only (0600), is flushed to the disk, and is then renamed over `path`.
// Returns 0 when the new file is in place, -1 (and a diagnostic line naming the file
// and the reason) when it is not; `path` is then left as it was.
int iRewriteStoreFile(const std::filesystem::path& path, std::string_view content);
