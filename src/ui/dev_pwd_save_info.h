#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The saved device login passwords ("devpassword.ini" in the folder for written files,
// file_util.h), offered again in the drop-down list of the main window's password box.
//
// File: one password per line, each followed by LF, oldest first. At load a line
// counts when, without its LF, it is 1 to 32 bytes long and does not begin with CR or
// LF (a CR before the LF stays part of the entry); other lines are ignored. The file
// is rewritten whole, safely, on every successful save and is readable by its owner
// only. UI thread only; no locking.
class CDevPwdSaveInfo {
  public:
    static constexpr const char* kFileName = "devpassword.ini";
    // Entries kept by saving; a longer file keeps its extra lines until saves drop them.
    static constexpr std::size_t kMaxEntries = 20;
    // Longest entry accepted at load, in bytes.
    static constexpr std::size_t kMaxEntryBytes = 32;

    // Loads "devpassword.ini" from `folder`. A missing file is an empty store; a file
    // that cannot be opened gives the "open null" diagnostic and an empty store.
    explicit CDevPwdSaveInfo(const std::filesystem::path& folder);

    // The entries in store order, oldest first.
    const std::vector<std::string>& vecEntries() const { return m_entries; }
    int iCount() const { return static_cast<int>(m_entries.size()); }

    // Offers a password typed into the password box. Returns 1 when the same text (same
    // bytes) is already stored: nothing changes. Otherwise drops the oldest entry when
    // the store holds kMaxEntries or more, appends the text, rewrites the file and
    // returns 0. A failed rewrite leaves the file as it was and keeps the change in
    // memory. A text that cannot be written as one line (LF or NUL inside, or more
    // than 126 bytes) stays in memory only.
    int vSave(const std::string& text);

  private:
    void vWriteFile() const;

    std::filesystem::path m_path;
    std::vector<std::string> m_entries;
};
