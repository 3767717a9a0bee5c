// The shipped language file against the texts the program passes to the lookup.
//
// The keys are collected from the sources under src/ each time the test runs. A text
// is seen by the scan when it is written as a string literal in one of these places
// (comments are skipped, adjacent literals are joined, \r \n \t \" \\ are decoded):
//
//   1. The key argument of a lookup call: strTranslate, strTrKey and strKey (first
//      argument), the result maker sAddrResult (second), psAddCommand (second). Every literal in
//      that argument counts, so strTranslate(ok ? "A" : "B") gives both keys.
//   2. The initializer of a constant named k...Text (a notice kept as a constant and
//      translated where it is shown, e.g. kSocketInitFailText).
//   3. The initializer of a table named k...Keys (e.g. the result line table
//      kResultKeys): every literal in it.
//   4. The body of a function named psz...Key (a key chosen by a code): every literal
//      in its return statements.
//   5. The caption tables of the main window: kPages (every literal) and kMainControls
//      (the caption of each entry whose translate flag is true, i.e. a literal
//      followed by ", true").
//
// A text that reaches the lookup another way (a new wrapper, a table of another name)
// is not seen: give it one of these shapes, or add its pattern to kCallKeyArgs /
// kCaptionTables / the name rules below. Each pattern must find at least one key, so
// a renamed wrapper or table shows up here instead of silently dropping its keys.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/profile.h"
#include "app/text_conv.h"
#include "app/translate.h"

namespace {

namespace fs = std::filesystem;

// Calls whose argument at the given index (from 0) holds the key.
struct CCallKeyArg {
    const char* m_pszCallee;
    std::size_t m_uArg;
};
constexpr CCallKeyArg kCallKeyArgs[] = {
    {"strTranslate", 0}, {"strTrKey", 0}, {"strKey", 0}, {"sAddrResult", 1}, {"psAddCommand", 1},
};

// Caption tables: every literal, or only those followed by ", true".
struct CCaptionTable {
    const char* m_pszName;
    bool m_fgFlaggedOnly;
};
constexpr CCaptionTable kCaptionTables[] = {{"kPages", false}, {"kMainControls", true}};

constexpr std::size_t kValueMaxBytes = 199;

enum class ETok { kIdent, kString, kPunct, kOther };

struct CToken {
    ETok m_eKind;
    std::string m_strText;  // identifier, punctuation, or the decoded literal
    int m_iLine;
};

std::string strReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

char cEscaped(char c) {
    switch (c) {
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        case 't':
            return '\t';
        case '0':
            return '\0';
        default:
            return c;
    }
}

// A C++ source as identifiers, string literals and punctuation; comments, character
// literals and numbers are consumed so that their quotes and slashes mislead nothing.
std::vector<CToken> vecTokenize(std::string_view src) {
    std::vector<CToken> tokens;
    int line = 1;
    std::size_t i = 0;
    const auto isIdent = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
    };
    while (i < src.size()) {
        const char c = src[i];
        if (c == '\n') {
            ++line;
            ++i;
        } else if (src.substr(i, 2) == "//") {
            i = std::min(src.find('\n', i), src.size());
        } else if (src.substr(i, 2) == "/*") {
            const std::size_t end = std::min(src.find("*/", i + 2), src.size());
            line += static_cast<int>(std::count(src.begin() + static_cast<long>(i),
                                                src.begin() + static_cast<long>(end), '\n'));
            i = std::min(end + 2, src.size());
        } else if (c == '"' || c == '\'') {
            std::string text;
            ++i;
            while (i < src.size() && src[i] != c && src[i] != '\n') {
                if (src[i] == '\\' && i + 1 < src.size()) {
                    text += cEscaped(src[i + 1]);
                    i += 2;
                } else {
                    text += src[i++];
                }
            }
            ++i;
            if (c == '\'') {
                tokens.push_back({ETok::kOther, text, line});
            } else if (!tokens.empty() && tokens.back().m_eKind == ETok::kString) {
                tokens.back().m_strText += text;  // "a" "b" is one literal
            } else {
                tokens.push_back({ETok::kString, text, line});
            }
        } else if (std::isdigit(static_cast<unsigned char>(c)) != 0) {
            while (i < src.size() && (isIdent(src[i]) || src[i] == '\'' || src[i] == '.')) {
                ++i;
            }
            tokens.push_back({ETok::kOther, {}, line});
        } else if (isIdent(c)) {
            const std::size_t start = i;
            while (i < src.size() && isIdent(src[i])) {
                ++i;
            }
            std::string word(src.substr(start, i - start));
            const bool raw = word.ends_with('R');
            if (raw) {
                word.pop_back();
            }
            const bool prefix =
                word.empty() || word == "u8" || word == "L" || word == "u" || word == "U";
            if (!(prefix && i < src.size() && src[i] == '"')) {
                tokens.push_back({ETok::kIdent, std::string(src.substr(start, i - start)), line});
            } else if (raw) {
                // R"delim(text)delim"
                const std::size_t open = std::min(src.find('(', i), src.size());
                const std::string close = ")" + std::string(src.substr(i + 1, open - i - 1)) + "\"";
                const std::size_t end = std::min(src.find(close, open), src.size());
                const std::string_view text =
                    src.substr(std::min(open + 1, end), end - std::min(open + 1, end));
                tokens.push_back({ETok::kString, std::string(text), line});
                line += static_cast<int>(std::count(text.begin(), text.end(), '\n'));
                i = std::min(end + close.size(), src.size());
            }
        } else if (std::isspace(static_cast<unsigned char>(c)) != 0) {
            ++i;
        } else {
            tokens.push_back({ETok::kPunct, std::string(1, c), line});
            ++i;
        }
    }
    return tokens;
}

bool fgIs(const std::vector<CToken>& tokens, std::size_t at, std::string_view punct) {
    return at < tokens.size() && tokens[at].m_eKind == ETok::kPunct &&
           tokens[at].m_strText == punct;
}

// Index of the bracket that closes the one at `open` (or the end).
std::size_t uMatching(const std::vector<CToken>& tokens, std::size_t open) {
    int depth = 0;
    for (std::size_t i = open; i < tokens.size(); ++i) {
        if (tokens[i].m_eKind != ETok::kPunct) {
            continue;
        }
        const char p = tokens[i].m_strText[0];
        depth += (p == '(' || p == '[' || p == '{')   ? 1
                 : (p == ')' || p == ']' || p == '}') ? -1
                                                      : 0;
        if (depth == 0) {
            return i;
        }
    }
    return tokens.size();
}

struct CKeySite {
    std::string m_strKey;
    std::string m_strWhere;  // file:line
};

class CKeyScan {
  public:
    std::vector<CKeySite> m_sites;
    std::map<std::string, int> m_patternHits;

    void vScanFile(const fs::path& path, const std::string& shownPath) {
        const std::vector<CToken> tokens = vecTokenize(strReadFile(path));
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            if (tokens[i].m_eKind == ETok::kIdent) {
                vScanAt(tokens, i, shownPath);
            }
        }
    }

  private:
    void vAdd(const std::string& pattern, const CToken& literal, const std::string& file) {
        m_sites.push_back({literal.m_strText, file + ":" + std::to_string(literal.m_iLine)});
        ++m_patternHits[pattern];
    }

    // Literals in [from, to); with flaggedOnly only those followed by ", true".
    void vAddRange(const std::vector<CToken>& tokens, std::size_t from, std::size_t to,
                   const std::string& pattern, const std::string& file, bool flaggedOnly) {
        for (std::size_t i = from; i < to; ++i) {
            if (tokens[i].m_eKind != ETok::kString) {
                continue;
            }
            if (flaggedOnly &&
                !(fgIs(tokens, i + 1, ",") && i + 2 < to && tokens[i + 2].m_strText == "true")) {
                continue;
            }
            vAdd(pattern, tokens[i], file);
        }
    }

    void vScanAt(const std::vector<CToken>& tokens, std::size_t at, const std::string& file) {
        const std::string& name = tokens[at].m_strText;
        for (const CCallKeyArg& call : kCallKeyArgs) {
            if (name == call.m_pszCallee && fgIs(tokens, at + 1, "(")) {
                vScanCallArg(tokens, at + 1, call, file);
                return;
            }
        }
        const bool textConst = name.size() > 5 && name[0] == 'k' && name.ends_with("Text");
        const bool keyTable = name.size() > 5 && name[0] == 'k' && name.ends_with("Keys");
        const auto* table =
            std::find_if(std::begin(kCaptionTables), std::end(kCaptionTables),
                         [&](const CCaptionTable& t) { return name == t.m_pszName; });
        if (textConst || keyTable || table != std::end(kCaptionTables)) {
            vScanInitializer(tokens, at, file,
                             table != std::end(kCaptionTables) ? table->m_pszName
                             : textConst                       ? "k...Text"
                                                               : "k...Keys",
                             table != std::end(kCaptionTables) && table->m_fgFlaggedOnly);
        } else if (name.starts_with("psz") && name.ends_with("Key") && fgIs(tokens, at + 1, "(")) {
            vScanKeyFunction(tokens, at + 1, file);
        }
    }

    void vScanCallArg(const std::vector<CToken>& tokens, std::size_t open, const CCallKeyArg& call,
                      const std::string& file) {
        const std::size_t close = uMatching(tokens, open);
        std::size_t arg = 0;
        std::size_t argStart = open + 1;
        for (std::size_t i = open + 1; i <= close && i < tokens.size(); ++i) {
            if (i == close || (fgIs(tokens, i, ",") && arg <= call.m_uArg)) {
                if (arg == call.m_uArg) {
                    vAddRange(tokens, argStart, i, call.m_pszCallee, file, false);
                    return;
                }
                ++arg;
                argStart = i + 1;
            } else if (fgIs(tokens, i, "(") || fgIs(tokens, i, "[") || fgIs(tokens, i, "{")) {
                i = uMatching(tokens, i);
            }
        }
    }

    // name [..]... = initializer ;   or   name{...}
    void vScanInitializer(const std::vector<CToken>& tokens, std::size_t at,
                          const std::string& file, const std::string& pattern, bool flaggedOnly) {
        std::size_t i = at + 1;
        while (fgIs(tokens, i, "[")) {
            i = uMatching(tokens, i) + 1;
        }
        if (fgIs(tokens, i, "{")) {
            vAddRange(tokens, i, uMatching(tokens, i), pattern, file, flaggedOnly);
        } else if (fgIs(tokens, i, "=")) {
            std::size_t end = i + 1;
            while (end < tokens.size() && !fgIs(tokens, end, ";")) {
                const bool open = fgIs(tokens, end, "(") || fgIs(tokens, end, "{");
                end = open ? uMatching(tokens, end) + 1 : end + 1;
            }
            vAddRange(tokens, i + 1, end, pattern, file, flaggedOnly);
        }
    }

    // psz...Key(params) [qualifiers] { body }: the literals of its return statements.
    void vScanKeyFunction(const std::vector<CToken>& tokens, std::size_t open,
                          const std::string& file) {
        std::size_t i = uMatching(tokens, open) + 1;
        while (i < tokens.size() && tokens[i].m_eKind == ETok::kIdent) {
            ++i;
        }
        if (!fgIs(tokens, i, "{")) {
            return;  // a declaration or a call
        }
        const std::size_t close = uMatching(tokens, i);
        for (std::size_t j = i; j < close; ++j) {
            if (tokens[j].m_eKind == ETok::kIdent && tokens[j].m_strText == "return") {
                std::size_t end = j;
                while (end < close && !fgIs(tokens, end, ";")) {
                    ++end;
                }
                vAddRange(tokens, j + 1, end, "psz...Key", file, false);
                j = end;
            }
        }
    }
};

CKeyScan sScanSources() {
    CKeyScan scan;
    const fs::path root(KESTREL_SOURCE_DIR);
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(root / "src")) {
        const std::string ext = entry.path().extension().string();
        if (entry.is_regular_file() && (ext == ".cpp" || ext == ".h")) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        scan.vScanFile(file, fs::relative(file, root).string());
    }
    return scan;
}

// The printf conversions of a text, in order (%% consumes nothing and is left out).
std::vector<std::string> vecPlaceholders(const std::string& text) {
    static const std::regex kConversion(
        R"(%%|%[-+ #0]*(\*|[0-9]+)?(\.(\*|[0-9]+))?(hh|h|ll|l|j|z|t|L)?[diouxXeEfFgGaAcspn])");
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), kConversion);
         it != std::sregex_iterator(); ++it) {
        if (it->str() != "%%") {
            found.push_back(it->str());
        }
    }
    return found;
}

std::string strEdges(const std::string& text) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    const auto lead = std::find_if_not(text.begin(), text.end(), isBlank) - text.begin();
    const auto trail = std::find_if_not(text.rbegin(), text.rend(), isBlank) - text.rbegin();
    return "[" + text.substr(0, static_cast<std::size_t>(lead)) + "|" +
           text.substr(text.size() - static_cast<std::size_t>(trail)) + "]";
}

std::string strJoin(const std::vector<std::string>& items) {
    std::ostringstream out;
    for (const std::string& item : items) {
        out << "\n  " << item;
    }
    return out.str();
}

TEST(LangFile, EveryKeyTheProgramShowsHasATranslation) {
    const CKeyScan scan = sScanSources();
    for (const CCallKeyArg& call : kCallKeyArgs) {
        EXPECT_GT(scan.m_patternHits.count(call.m_pszCallee), 0U)
            << "no key passed to " << call.m_pszCallee << " any more: update the scan";
    }
    for (const char* pattern : {"kPages", "kMainControls", "k...Text", "k...Keys", "psz...Key"}) {
        EXPECT_GT(scan.m_patternHits.count(pattern), 0U)
            << "the scan pattern " << pattern << " found nothing: update the scan";
    }

    const std::string shipped = strReadFile(KESTREL_LANG_FILE);
    ASSERT_FALSE(shipped.empty()) << "no language file at " << KESTREL_LANG_FILE;
    std::set<std::string> keys;
    std::vector<std::string> missing;
    std::vector<std::string> wrongEdges;
    for (const CKeySite& site : scan.m_sites) {
        if (!keys.insert(site.m_strKey).second) {
            continue;
        }
        const std::string fileKey = strFromUtf8(site.m_strKey, "GBK").value_or(site.m_strKey);
        if (strProfileValue(shipped, "LANGUAGE", fileKey, kValueMaxBytes).empty()) {
            missing.push_back("\"" + site.m_strKey + "\" (" + site.m_strWhere + ")");
            continue;
        }
        // The code joins the text to what comes before and after it.
        const std::string shown = strTranslateWith(kLangChinese, KESTREL_LANG_FILE, site.m_strKey);
        if (strEdges(shown) != strEdges(site.m_strKey)) {
            wrongEdges.push_back("\"" + site.m_strKey + "\" shown as \"" + shown + "\"");
        }
    }
    EXPECT_GT(keys.size(), 100U) << "the scan lost most keys";
    EXPECT_TRUE(missing.empty()) << missing.size() << " keys without a translation in "
                                 << "lang/lang.lang:" << strJoin(missing);
    EXPECT_TRUE(wrongEdges.empty()) << "translations that lose their key's leading or "
                                    << "trailing blanks (quote the value):" << strJoin(wrongEdges);
}

TEST(LangFile, EveryEntryIsSoundGbkWithTheKeysPlaceholders) {
    const std::string shipped = strReadFile(KESTREL_LANG_FILE);
    const std::string source = strReadFile(fs::path(KESTREL_SOURCE_DIR) / "lang" / "lang.lang");
    ASSERT_FALSE(shipped.empty());
    // The program reads GBK: the shipped file must be the source converted.
    ASSERT_EQ(strToUtf8(shipped, "GBK").value_or("<not GBK>"), source);

    std::vector<std::string> faults;
    std::map<std::string, std::string> seen;  // lower-case key -> key
    bool inSection = false;
    std::istringstream lines(shipped);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t equals = line.find('=');
        if (line.empty() || line[0] == ';') {
            continue;
        }
        if (line[0] == '[') {
            inSection = line.starts_with("[LANGUAGE]");
            continue;
        }
        if (!inSection || equals == std::string::npos) {
            faults.push_back("not an entry: " + line);
            continue;
        }
        std::string key = line.substr(0, equals);
        key.erase(key.find_last_not_of(" \t") + 1);
        const std::string keyUtf8 = strToUtf8(key, "GBK").value_or(key);
        std::string lower = key;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (const auto [it, fresh] = seen.emplace(lower, key); !fresh) {
            faults.push_back("\"" + keyUtf8 + "\": a second entry, never read");
            continue;
        }
        const std::string whole = strProfileValue(shipped, "LANGUAGE", key, line.size());
        const std::string value = strToUtf8(whole, "GBK").value_or(whole);
        if (whole.empty()) {
            faults.push_back("\"" + keyUtf8 + "\": empty translation");
        } else if (whole.size() > kValueMaxBytes) {
            faults.push_back("\"" + keyUtf8 + "\": longer than " + std::to_string(kValueMaxBytes) +
                             " bytes in GBK, cut when shown");
        }
        if (vecPlaceholders(value) != vecPlaceholders(keyUtf8)) {
            faults.push_back("\"" + keyUtf8 + "\": placeholders differ in \"" + value + "\"");
        }
    }
    EXPECT_FALSE(seen.empty());
    EXPECT_TRUE(faults.empty()) << strJoin(faults);
}

}  // namespace
