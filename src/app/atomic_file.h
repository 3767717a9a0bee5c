#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// Files the station writes whole (pictures, reports, QR codes, exports, settings and
// saved-password stores) are written so that a full disk, a failed write or a crash
// leaves either the old file or the whole new one, never a part and never an empty
// file that looks like a result.

// Who may read the file written.
enum class EFileAccess {
    kShared,   // as any new file of the user (0666 less the umask)
    kPrivate,  // the owner only (0600): secrets
};

// Replaces the file at path by bytes: they go to a new hidden temporary file in the
// same folder, are flushed to the disk, and the temporary file is then renamed over
// path. True when the new file is in place. False with error set to
// "cannot write <path>: <reason>" (the system's words, such as "No space left on
// device") otherwise; the temporary file is then removed and path left as it was.
bool fgWriteFileAtomic(const std::string& path, std::string_view bytes, std::string& error,
                       EFileAccess access = EFileAccess::kShared);
bool fgWriteFileAtomic(const std::string& path, std::span<const std::uint8_t> bytes,
                       std::string& error, EFileAccess access = EFileAccess::kShared);
