#include "ui/wifi_pwd_save_info.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "app/log.h"
#include "app/str_util.h"
#include "ui/store_file.h"

namespace {
// Each line is formatted in a 512-byte buffer with its LF and terminator.
constexpr std::size_t kLineBufferBytes = 512;

bool fgIsSpace(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r';
}

// Splits a line as the pattern "%[^ ] %s" does: the SSID runs up to the first blank
// and must not be empty; then any white space; then the password is the next run of
// non-white characters and must not be empty either.
std::optional<std::pair<std::string, std::string>> sSplitLine(const std::string& line) {
    const std::size_t blank = line.find(' ');
    if (blank == 0 || blank == std::string::npos) {
        return std::nullopt;
    }
    std::size_t start = blank;
    while (start < line.size() && fgIsSpace(line[start])) {
        ++start;
    }
    std::size_t end = start;
    while (end < line.size() && !fgIsSpace(line[end])) {
        ++end;
    }
    if (end == start) {
        return std::nullopt;
    }
    return std::pair{line.substr(0, blank), line.substr(start, end - start)};
}

bool fgWritable(const std::string& text) {
    return text.find('\n') == std::string::npos && text.find('\0') == std::string::npos;
}
}  // namespace

CWifiPwdSaveInfo::CWifiPwdSaveInfo(const std::filesystem::path& folder)
    : m_path(folder / kFileName) {
    vForEachStoreLine(m_path, [this](const std::string& line) {
        const auto fields = sSplitLine(line);
        if (!fields) {
            return;
        }
        const auto& [ssid, password] = *fields;
        KLOG_INFO("SSID:%s,pwd:%s", ssid.c_str(), strMaskSecret(password).c_str());
        KLOG_INFO("ssidlen=%d,pwdlen=%d", static_cast<int>(ssid.size()),
                  static_cast<int>(password.size()));
        if (ssid.size() <= kMaxFieldBytes && password.size() <= kMaxFieldBytes) {
            m_entries.emplace(ssid, password);
        }
    });
}

std::vector<std::string> CWifiPwdSaveInfo::vecGetWifiPwd(const std::string& ssid) const {
    std::vector<std::string> passwords;
    const auto [first, last] = m_entries.equal_range(ssid);
    for (auto entry = first; entry != last && passwords.size() < kMaxLookup; ++entry) {
        passwords.push_back(entry->second);
    }
    return passwords;
}

void CWifiPwdSaveInfo::vSaveWifiInfo(const std::string& ssid, const std::string& password) {
    const std::vector<std::string> stored = vecGetWifiPwd(ssid);
    if (std::find(stored.begin(), stored.end(), password) != stored.end()) {
        KLOG_INFO("find same ssid pwd");
        return;
    }
    if (m_entries.count(ssid) >= kMaxPwdPerSsid) {
        const auto oldest = m_entries.find(ssid);
        KLOG_INFO("delete wifi info:%s,%s", oldest->first.c_str(),
                  strMaskSecret(oldest->second).c_str());
        m_entries.erase(oldest);
        KLOG_INFO("add 1");
    } else {
        KLOG_INFO("add 0");
    }
    m_entries.emplace(ssid, password);
    vSaveToFile();
}

void CWifiPwdSaveInfo::vSaveToFile() const {
    std::string content;
    for (const auto& [ssid, password] : m_entries) {
        if (ssid.size() + password.size() + 3 > kLineBufferBytes || !fgWritable(ssid) ||
            !fgWritable(password)) {
            KLOG_INFO("Parameters is error");
            continue;
        }
        KLOG_INFO("wifi info:%s,%s", ssid.c_str(), strMaskSecret(password).c_str());
        content += ssid;
        content += ' ';
        content += password;
        content += '\n';
    }
    if (iRewriteStoreFile(m_path, content) != 0) {
        KLOG_ERR("open");
    }
}
