#include "ui/wifi_poller.h"

#include "protocol/station.h"

CWifiPoller::CWifiPoller(CStation* station, QObject* parent)
    : QObject(parent), m_pStation(station) {
    m_timer.setInterval(kPeriodMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_pStation == nullptr || !m_pStation->login().fgWifiPollTick()) {
            m_timer.stop();
        }
    });
}
