#include "app/log.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "app/shown_text.h"
#include "platform/log_sink.h"

namespace {

std::optional<ELogLevel> sParseLevel(std::string_view text) {
    static const std::map<std::string_view, ELogLevel> kNames{
        {"off", ELogLevel::kOff},   {"err", ELogLevel::kError}, {"error", ELogLevel::kError},
        {"warn", ELogLevel::kWarn}, {"info", ELogLevel::kInfo}, {"debug", ELogLevel::kDebug},
    };
    const auto found = kNames.find(text);
    return found == kNames.end() ? std::nullopt : std::optional(found->second);
}

class CLogLevels {
  public:
    CLogLevels() {
        if (const char* levelsText = std::getenv("KESTREL_LOG_LEVEL"); levelsText != nullptr) {
            (void)fgApply(levelsText);
        }
    }

    // The component is worked out only when some component has a level of its own.
    bool fgPasses(ELogLevel level, const char* filePath) const {
        if (!m_fgOverrides.load(std::memory_order_acquire)) {
            return level <= m_eDefault.load(std::memory_order_relaxed);
        }
        return level <= eLevel(strLogComponent(filePath));
    }

    ELogLevel eLevel(std::string_view component) const {
        const std::lock_guard guard(m_lock);
        const auto found = m_overrides.find(component);
        return found == m_overrides.end() ? m_eDefault.load() : found->second;
    }

    void vSet(std::string_view component, ELogLevel level) {
        const std::lock_guard guard(m_lock);
        if (component.empty()) {
            m_eDefault = level;
            return;
        }
        m_overrides.insert_or_assign(std::string(component), level);
        m_fgOverrides.store(true, std::memory_order_release);
    }

    bool fgApply(std::string_view levelsText) {
        std::vector<std::pair<std::string_view, ELogLevel>> items;
        while (!levelsText.empty()) {
            const size_t comma = levelsText.find(',');
            const std::string_view item = levelsText.substr(0, comma);
            levelsText =
                comma == std::string_view::npos ? std::string_view() : levelsText.substr(comma + 1);
            const size_t equals = item.find('=');
            const std::string_view component =
                equals == std::string_view::npos ? std::string_view() : item.substr(0, equals);
            const std::optional<ELogLevel> level =
                sParseLevel(equals == std::string_view::npos ? item : item.substr(equals + 1));
            if (!level || (equals != std::string_view::npos && component.empty())) {
                return false;
            }
            items.emplace_back(component, *level);
        }
        for (const auto& [component, level] : items) {
            vSet(component, level);
        }
        return true;
    }

  private:
    mutable std::mutex m_lock;
    std::atomic<ELogLevel> m_eDefault{ELogLevel::kInfo};
    std::atomic<bool> m_fgOverrides{false};
    std::map<std::string, ELogLevel, std::less<>> m_overrides;  // guarded by m_lock
};

CLogLevels& levels() {
    static CLogLevels instance;
    return instance;
}

}  // namespace

std::string_view strLogComponent(std::string_view filePath) {
    // The folder after the innermost "src", "tools" or "tests" folder of the path.
    size_t rootEnd = std::string_view::npos;
    bool inTests = false;
    size_t best = 0;
    for (const std::string_view root : {"/src/", "/tools/", "/tests/"}) {
        size_t at = filePath.rfind(root);
        size_t after = at + root.size();
        if (at == std::string_view::npos && filePath.starts_with(root.substr(1))) {
            at = 0;
            after = root.size() - 1;
        }
        if (at != std::string_view::npos && (rootEnd == std::string_view::npos || at >= best)) {
            best = at;
            rootEnd = after;
            inTests = root == "/tests/";
        }
    }
    if (rootEnd != std::string_view::npos) {
        const std::string_view rest = filePath.substr(rootEnd);
        const size_t slash = rest.find('/');
        if (inTests) {
            return "tests";
        }
        if (slash != std::string_view::npos) {
            return rest.substr(0, slash);
        }
    }
    return "kestrel";
}

std::string strLogFunction(std::string_view signature) {
    // Anonymous namespaces are spelled "{anonymous}::" by GCC and "(anonymous namespace)::"
    // by clang; neither helps a reader, and clang's would look like a parameter list.
    std::string text(signature);
    for (const std::string_view anonymous :
         {std::string_view("{anonymous}::"), std::string_view("(anonymous namespace)::")}) {
        for (size_t at = text.find(anonymous); at != std::string::npos; at = text.find(anonymous)) {
            text.erase(at, anonymous.size());
        }
    }
    // The name ends at the first parameter list; it begins after the last blank before
    // that outside template brackets (the return type's end).
    const size_t open = text.find('(');
    const size_t end = open == std::string::npos ? text.size() : open;
    size_t begin = 0;
    int depth = 0;
    for (size_t i = end; i > 0; --i) {
        const char c = text[i - 1];
        if (c == '>') {
            ++depth;
        } else if (c == '<') {
            --depth;
        } else if (c == ' ' && depth == 0) {
            begin = i;
            break;
        }
    }
    // clang writes a pointer or reference return type against the name ("T *C::f").
    while (begin < end && (text[begin] == '*' || text[begin] == '&')) {
        ++begin;
    }
    return text.substr(begin, end - begin);
}

void vSetLogLevel(std::string_view component, ELogLevel level) {
    levels().vSet(component, level);
}

ELogLevel eLogLevel(std::string_view component) {
    return levels().eLevel(component);
}

bool fgApplyLogLevels(std::string_view levelsText) {
    return levels().fgApply(levelsText);
}

void vLogWrite(ELogLevel level, const CLogWhere& where, const char* format, ...) {
    if (level == ELogLevel::kOff || !levels().fgPasses(level, where.m_file)) {
        return;
    }
    const std::string_view component = strLogComponent(where.m_file);
    char line[kLogLineMax + 1] = {};
    const char* tag = level == ELogLevel::kError  ? "err:"
                      : level == ELogLevel::kWarn ? "warn:"
                                                  : "";
    const int head = std::snprintf(line, sizeof line, "camkit:%s%.*s:%s, %u=>", tag,
                                   static_cast<int>(component.size()), component.data(),
                                   strLogFunction(where.m_function).c_str(), where.m_line);
    if (head < 0) {
        return;
    }
    // Room for "\r\n" is kept at the end of every line, however long its message.
    constexpr size_t kBody = kLogLineMax - 2;
    size_t length = std::min(static_cast<size_t>(head), kBody);
    char message[kLogLineMax + 1] = {};
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    size_t messageLength = written > 0 ? std::min(static_cast<size_t>(written), kBody) : 0;
    // A message that ends its own line keeps one terminator.
    while (messageLength > 0 &&
           (message[messageLength - 1] == '\n' || message[messageLength - 1] == '\r')) {
        --messageLength;
    }
    // Messages carry device text (UIDs, network names): it is shown escaped, so that it
    // can neither forge a line of its own nor drive the terminal.
    const std::string shown = strShownText(std::string_view(message, messageLength));
    const size_t copied = std::min(shown.size(), kBody - length);
    std::copy_n(shown.data(), copied, line + length);
    length += copied;
    line[length++] = '\r';
    line[length++] = '\n';
    vLogSinkWrite(std::string_view(line, length));
}
