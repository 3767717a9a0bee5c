#include "history/history_settings.h"

#include <fstream>

#include "app/atomic_file.h"

namespace {

std::string strOneLine(std::string value) {
    std::erase_if(value, [](char c) { return c == '\n' || c == '\r'; });
    return value;
}

}  // namespace

CHistorySettings sLoadHistorySettings(const std::string& path) {
    CHistorySettings settings;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        const std::string key = line.substr(0, equals);
        std::string value = line.substr(equals + 1);
        if (key == "db" && !value.empty()) {
            settings.m_dbs.push_back(std::move(value));
        } else if (key == "station") {
            settings.m_strStation = std::move(value);
        } else if (key == "operator") {
            settings.m_strOperator = std::move(value);
        }
    }
    return settings;
}

bool fgSaveHistorySettings(const std::string& path, const CHistorySettings& settings,
                           std::string& error) {
    std::string text;
    for (const std::string& db : settings.m_dbs) {
        text += "db=" + strOneLine(db) + "\n";
    }
    text += "station=" + strOneLine(settings.m_strStation) + "\n";
    text += "operator=" + strOneLine(settings.m_strOperator) + "\n";
    // A server URL may carry a password: the owner only.
    return fgWriteFileAtomic(path, text, error, EFileAccess::kPrivate);
}
