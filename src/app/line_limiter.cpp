#include "app/line_limiter.h"

#include <algorithm>

namespace {

const std::string kOtherSources = "other devices";

}  // namespace

CLineLimiter::CLineLimiter(int linesPerSecond) : m_iLinesPerSecond(std::max(1, linesPerSecond)) {}

void CLineLimiter::vTakeNotes(const std::string& source, CSourceState& state,
                              std::vector<std::string>& out) {
    if (state.m_lRepeats > 0) {
        out.push_back(state.m_strLast + " (repeated " + std::to_string(state.m_lRepeats) +
                      " more times)");
        state.m_lRepeats = 0;
    }
    if (state.m_lDropped > 0) {
        out.push_back(source + ": " + std::to_string(state.m_lDropped) + " more lines not shown");
        state.m_lDropped = 0;
    }
}

std::vector<std::string> CLineLimiter::vecOnLine(const std::string& source, const std::string& line,
                                                 Clock::time_point now) {
    auto found = m_sources.find(source);
    if (found == m_sources.end()) {
        const std::string& key = m_sources.size() < kSourcesMax ? source : kOtherSources;
        found = m_sources.try_emplace(key).first;
        if (found->second.m_iInWindow == 0) {
            found->second.m_windowStart = now;
        }
    }
    CSourceState& state = found->second;
    std::vector<std::string> out;
    if (now - state.m_windowStart >= std::chrono::seconds(1)) {
        state.m_windowStart = now;
        state.m_iInWindow = 0;
        if (state.m_lDropped > 0) {
            out.push_back(found->first + ": " + std::to_string(state.m_lDropped) +
                          " more lines not shown");
            state.m_lDropped = 0;
        }
    }
    if (line == state.m_strLast) {
        ++(state.m_fgLastShown ? state.m_lRepeats : state.m_lDropped);
        return out;
    }
    if (state.m_lRepeats > 0) {
        out.push_back(state.m_strLast + " (repeated " + std::to_string(state.m_lRepeats) +
                      " more times)");
        state.m_lRepeats = 0;
    }
    state.m_strLast = line;
    state.m_fgLastShown = state.m_iInWindow < m_iLinesPerSecond;
    if (!state.m_fgLastShown) {
        ++state.m_lDropped;
        return out;
    }
    ++state.m_iInWindow;
    out.push_back(line);
    return out;
}

bool CLineLimiter::fgIsNote(std::string_view line) {
    return line.ends_with(" more times)") || line.ends_with(" more lines not shown");
}

std::vector<std::string> CLineLimiter::vecFlush() {
    std::vector<std::string> out;
    for (auto& [source, state] : m_sources) {
        vTakeNotes(source, state, out);
    }
    return out;
}
