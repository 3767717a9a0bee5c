#include "app/translate.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <unordered_map>

#include "app/profile.h"
#include "app/settings.h"
#include "app/text_conv.h"

namespace {
constexpr size_t kValueMaxBytes = 199;
constexpr size_t kLangFileMaxBytes = 4U << 20U;
// Coarser than any file system's modification time (FAT keeps 2 s, some keep 1 s).
constexpr auto kStampGrain = std::chrono::seconds(3);
}  // namespace

namespace {

// The language file as last read, and the answers given from it. Read again when the
// file's modification time or size changes, so that an edit made while the program
// runs still takes effect without a read per lookup. A time that has a grain of a
// second or more may not change for an edit of the same size within that second, so
// a read made less than kStampGrain after the file's time is not trusted: the file
// is read again until its time is older than that.
class CLangFileCache {
  public:
    std::string strLookup(const std::string& path, const std::string& key) {
        std::error_code error;
        const auto stamp = std::filesystem::last_write_time(path, error);
        const auto bytes = error ? 0 : std::filesystem::file_size(path, error);
        const std::lock_guard lock(m_lock);
        if (error) {
            m_strPath.clear();
            return key;
        }
        if (path != m_strPath || stamp != m_stamp || bytes != m_iBytes ||
            m_loadedAt < stamp + kStampGrain) {
            m_loadedAt = std::filesystem::file_time_type::clock::now();
            vLoad(path);
            m_strPath = path;
            m_stamp = stamp;
            m_iBytes = bytes;
        }
        if (const auto known = m_answers.find(key); known != m_answers.end()) {
            return known->second;
        }
        std::string answer = strAnswer(key);
        if (m_answers.size() < kAnswersMax) {
            m_answers.emplace(key, answer);
        }
        return answer;
    }

  private:
    static constexpr std::size_t kAnswersMax = 4096;

    void vLoad(const std::string& path) {
        m_answers.clear();
        m_strText.clear();
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            return;
        }
        m_strText.resize(kLangFileMaxBytes);
        file.read(m_strText.data(), static_cast<std::streamsize>(m_strText.size()));
        m_strText.resize(static_cast<size_t>(file.gcount()));
    }

    std::string strAnswer(const std::string& key) const {
        if (m_strText.empty()) {
            return key;
        }
        // Keys are UTF-8 in the program and GBK in the file (two keys are Chinese).
        const std::string fileKey = strFromUtf8(key, "GBK").value_or(key);
        const std::string value = strProfileValue(m_strText, "LANGUAGE", fileKey, kValueMaxBytes);
        if (value.empty()) {
            return key;
        }
        return strToUtf8(value, "GBK").value_or(key);
    }

    std::mutex m_lock;
    std::string m_strPath;
    std::filesystem::file_time_type m_stamp;
    std::filesystem::file_time_type m_loadedAt;
    std::uintmax_t m_iBytes = 0;
    std::string m_strText;
    std::unordered_map<std::string, std::string> m_answers;
};

CLangFileCache& sLangFileCache() {
    static CLangFileCache cache;
    return cache;
}

}  // namespace

std::string strTranslateWith(int uiLang, const std::string& langFilePath, const std::string& key) {
    if (uiLang != kLangChinese) {
        return key;
    }
    return sLangFileCache().strLookup(langFilePath, key);
}

std::string strTranslate(const std::string& key) {
    const CSettings& settings = CSettings::instance();
    return strTranslateWith(settings.m_iUiLang, settings.m_strLangFile, key);
}
