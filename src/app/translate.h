#pragma once

#include <string>

// Language identifiers of the user-interface language.
inline constexpr int kLangEnglish = 1033;
inline constexpr int kLangChinese = 2052;

// The text to show for a key (UTF-8): with UI language 2052, its value in section
// [LANGUAGE] of the language file (GBK, converted to UTF-8, at most 199 bytes of
// the file's text); otherwise, or when there is no such value, the key itself.
// The file is read once and again only after its modification time or size changed
// (an edit while the program runs takes effect at the next lookup); lookups are
// answered from memory. Never fails; safe from any thread.
std::string strTranslate(const std::string& key);

// The same lookup with an explicit language and file, for callers that hold their own.
std::string strTranslateWith(int uiLang, const std::string& langFilePath, const std::string& key);
