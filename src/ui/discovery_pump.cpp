#include "ui/discovery_pump.h"

#include "protocol/station.h"

CDiscoveryPump::CDiscoveryPump(CStation* station, QObject* parent)
    : QObject(parent), m_pStation(station) {
    m_drain.setInterval(kDrainPeriodMs);
    m_sort.setInterval(kSortPeriodMs);
    m_searchAgain.setInterval(kSearchAgainMs);
    m_searchAgain.setSingleShot(true);
    connect(&m_drain, &QTimer::timeout, this, [this] {
        // Until the queue is empty, a few records a tick, so that a burst of replies
        // neither blocks the window nor waits for the next search.
        if (m_pStation == nullptr || m_pStation->discovery().iDrainDiscoveryQueue() == 0) {
            m_drain.stop();
        }
    });
    connect(&m_sort, &QTimer::timeout, this, [this] {
        if (m_pStation == nullptr || !m_pStation->discovery().fgSortTick()) {
            m_sort.stop();
        }
    });
    connect(&m_searchAgain, &QTimer::timeout, this, [this] {
        if (m_pStation != nullptr) {
            m_pStation->discovery().vSearch();
        }
    });
}

void CDiscoveryPump::vOnQueued() {
    if (!m_drain.isActive()) {
        m_drain.start();
    }
}

void CDiscoveryPump::vOnSearchStarted() {
    m_searchAgain.start();
    m_sort.start();
}
