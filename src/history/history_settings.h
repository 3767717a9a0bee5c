#pragma once

// The window's history settings, kept in a small text file of the station's writable
// folder ("history.ini"): one "key=value" per line for db (a --db value each, at most
// one sqlite: and one postgresql://), station and operator. Unknown keys are ignored.

#include <string>
#include <vector>

struct CHistorySettings {
    std::vector<std::string> m_dbs;
    std::string m_strStation;  // empty: the host name
    std::string m_strOperator;
};

inline constexpr const char* kHistorySettingsFile = "history.ini";

// The settings in path; defaults when the file is missing or unreadable.
CHistorySettings sLoadHistorySettings(const std::string& path);

// Writes the settings to path whole (the atomic writer, readable by the owner only:
// a URL may hold a password) or not at all. Values lose their line breaks. False with a reason when
// it could not be written.
bool fgSaveHistorySettings(const std::string& path, const CHistorySettings& settings,
                           std::string& error);
