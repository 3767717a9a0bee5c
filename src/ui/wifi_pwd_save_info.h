#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

// The saved Wi-Fi passwords per network name ("wifisaveconfig.ini" in the folder for
// written files, file_util.h), offered in the drop-down list of the Wi-Fi connect dialog.
//
// File: one entry per line, "SSID PASSWORD" and LF, in byte order of the SSIDs and, per
// SSID, oldest first. At load a line gives the SSID as everything before its first
// blank and the password as the next blank-free word (so a blank inside an SSID or a
// password does not survive a save and load); a line without both, or with a field
// longer than 127 bytes, or longer than 1023 bytes, is skipped. The file is rewritten
// whole, safely, on every save and is readable by its owner only. One store per
// dialog, UI thread only.
class CWifiPwdSaveInfo {
  public:
    static constexpr const char* kFileName = "wifisaveconfig.ini";
    static constexpr std::size_t kMaxFieldBytes = 127;
    // Passwords kept per SSID by saving, and returned by a lookup.
    static constexpr std::size_t kMaxPwdPerSsid = 5;
    static constexpr std::size_t kMaxLookup = 20;

    // Loads "wifisaveconfig.ini" from `folder`. A missing file is an empty store; a
    // file that cannot be opened gives the "open null" diagnostic and an empty store.
    explicit CWifiPwdSaveInfo(const std::filesystem::path& folder);

    // Up to kMaxLookup passwords stored for the SSID, oldest first.
    std::vector<std::string> vecGetWifiPwd(const std::string& ssid) const;

    // Remembers a password for the SSID: nothing happens when the SSID's first
    // kMaxLookup passwords hold it already; otherwise the SSID's oldest password is
    // dropped when it has kMaxPwdPerSsid or more, the pair is added and the file is
    // rewritten (vSaveToFile).
    void vSaveWifiInfo(const std::string& ssid, const std::string& password);

    // Rewrites the file with every entry, one "SSID PASSWORD" line each. An entry that
    // cannot be written as one line (LF or NUL inside, or a line of more than 510
    // bytes) is left out with a diagnostic. A failed rewrite leaves the file as it was.
    void vSaveToFile() const;

    // Every entry in file order (for tests and diagnostics).
    const std::multimap<std::string, std::string>& mapEntries() const { return m_entries; }

  private:
    std::filesystem::path m_path;
    std::multimap<std::string, std::string> m_entries;
};
