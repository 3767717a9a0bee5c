#include "protocol/search_rounds.h"

#include <algorithm>

CSearchRounds::CSearchRounds(Clock::time_point start) : m_next(start + kFirstGap) {}

bool CSearchRounds::fgBroadcastDue(Clock::time_point now, std::size_t found, bool wantMore) {
    if (now < m_next) {
        return false;
    }
    const bool arriving = found > m_iFoundAtLastRound;
    m_gap = std::min(m_gap * 2, kGapMax);
    m_next = now + m_gap;
    if (m_iRounds >= kRoundsMin && !arriving && !wantMore) {
        // Quiet: looked at again one gap later, in case late answers still come.
        return false;
    }
    m_iFoundAtLastRound = found;
    ++m_iRounds;
    return true;
}
