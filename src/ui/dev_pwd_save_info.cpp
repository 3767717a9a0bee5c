#include "ui/dev_pwd_save_info.h"

#include <algorithm>

#include "app/log.h"
#include "app/str_util.h"
#include "ui/store_file.h"

namespace {
// Each line is formatted in a 128-byte buffer with its LF and terminator.
constexpr std::size_t kLineBufferBytes = 128;

bool fgAcceptedAtLoad(const std::string& line) {
    return !line.empty() && line.size() <= CDevPwdSaveInfo::kMaxEntryBytes && line.front() != '\r';
}

bool fgWritable(const std::string& entry) {
    return entry.size() + 2 <= kLineBufferBytes && entry.find('\n') == std::string::npos &&
           entry.find('\0') == std::string::npos;
}
}  // namespace

CDevPwdSaveInfo::CDevPwdSaveInfo(const std::filesystem::path& folder) : m_path(folder / kFileName) {
    vForEachStoreLine(m_path, [this](const std::string& line) {
        if (fgAcceptedAtLoad(line)) {
            KLOG_INFO("pwd:%s", strMaskSecret(line).c_str());
            m_entries.push_back(line);
        }
    });
}

int CDevPwdSaveInfo::vSave(const std::string& text) {
    if (std::find(m_entries.begin(), m_entries.end(), text) != m_entries.end()) {
        KLOG_INFO("same");
        return 1;
    }
    if (m_entries.size() >= kMaxEntries) {
        m_entries.erase(m_entries.begin());
    }
    m_entries.push_back(text);
    vWriteFile();
    return 0;
}

void CDevPwdSaveInfo::vWriteFile() const {
    std::string content;
    for (const std::string& entry : m_entries) {
        if (!fgWritable(entry)) {
            KLOG_INFO("Parameters is error");
            continue;
        }
        content += entry;
        content += '\n';
    }
    if (const int result = iRewriteStoreFile(m_path, content); result != 0) {
        KLOG_ERR("write %s failed (%d)", m_path.c_str(), result);
    }
}
