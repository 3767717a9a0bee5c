#include "app/translate.h"

#include <algorithm>
#include <fstream>

#include "app/profile.h"
#include "app/settings.h"
#include "app/text_conv.h"

namespace {
constexpr size_t kValueMaxBytes = 199;
constexpr size_t kLangFileMaxBytes = 4U << 20U;
}  // namespace

std::string strTranslateWith(int uiLang, const std::string& langFilePath, const std::string& key) {
    if (uiLang != kLangChinese) {
        return key;
    }
    std::ifstream file(langFilePath, std::ios::binary);
    if (!file) {
        return key;
    }
    file.seekg(0, std::ios::end);
    const std::streamoff fileBytes = file.tellg();
    file.seekg(0, std::ios::beg);
    if (fileBytes <= 0) {
        return key;
    }
    std::string text(std::min(static_cast<size_t>(fileBytes), kLangFileMaxBytes), '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(file.gcount()));

    // Keys are UTF-8 in the program and GBK in the file (two keys are Chinese).
    const std::string fileKey = strFromUtf8(key, "GBK").value_or(key);
    const std::string value = strProfileValue(text, "LANGUAGE", fileKey, kValueMaxBytes);
    if (value.empty()) {
        return key;
    }
    if (auto utf8 = strToUtf8(value, "GBK")) {
        return *utf8;
    }
    return key;
}

std::string strTranslate(const std::string& key) {
    const CSettings& settings = CSettings::instance();
    return strTranslateWith(settings.m_iUiLang, settings.m_strLangFile, key);
}
