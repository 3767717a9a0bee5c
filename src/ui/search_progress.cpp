#include "ui/search_progress.h"

#include <QProgressBar>

#include "protocol/station.h"

CSearchProgress::CSearchProgress(QProgressBar& bar, CStation* station, QObject* parent)
    : QObject(parent), m_bar(bar), m_pStation(station) {
    m_search.setInterval(kSearchPeriodMs);
    m_calibration.setInterval(kCalibrationPeriodMs);
    connect(&m_search, &QTimer::timeout, this, &CSearchProgress::vSearchTick);
    connect(&m_calibration, &QTimer::timeout, this, &CSearchProgress::vCalibrationTick);
}

void CSearchProgress::vStartSearch() {
    if (m_iCalibState == 0) {
        m_bar.setValue(0);
        m_search.start();
    }
}

void CSearchProgress::vStartCalibration() {
    m_iCalibState = 1;
    m_calibration.start();
}

void CSearchProgress::vSearchTick() {
    if (m_iCalibState != 0) {
        return;
    }
    if (m_bar.value() >= kSteps) {
        m_search.stop();
        emit sigSearchDone();
        return;
    }
    m_bar.setValue(m_bar.value() + 1);
}

void CSearchProgress::vCalibrationTick() {
    if (m_iCalibState == 1) {
        m_bar.setValue(0);
        m_iCalibState = 2;
    }
    if (m_bar.value() >= kSteps) {
        m_calibration.stop();
        m_iCalibState = 0;
        if (m_pStation != nullptr) {
            m_pStation->camera().vEndCalibration();
        }
        return;
    }
    m_bar.setValue(m_bar.value() + 1);
}
