#include "history/history_settings.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

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
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        for (const std::string& db : settings.m_dbs) {
            out << "db=" << strOneLine(db) << '\n';
        }
        out << "station=" << strOneLine(settings.m_strStation) << '\n'
            << "operator=" << strOneLine(settings.m_strOperator) << '\n';
        out.flush();
        if (!out) {
            error = "cannot write " + temporary;
            std::remove(temporary.c_str());
            return false;
        }
    }
    std::error_code renameError;
    std::filesystem::rename(temporary, path, renameError);
    if (renameError) {
        error = "cannot replace " + path + ": " + renameError.message();
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
