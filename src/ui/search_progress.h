#pragma once

#include <QObject>
#include <QTimer>

class CStation;
class QProgressBar;

// The window's progress bar: it fills in a second while a search runs (10 ms ticks,
// one step each) and in two minutes while a calibration runs (1.2 s ticks), after
// which the station ends the calibration. A running calibration owns the bar: a
// search started meanwhile leaves it alone. station may be null.
class CSearchProgress : public QObject {
    Q_OBJECT

  public:
    static constexpr int kSearchPeriodMs = 10;
    static constexpr int kCalibrationPeriodMs = 1200;
    static constexpr int kSteps = 100;

    CSearchProgress(QProgressBar& bar, CStation* station, QObject* parent = nullptr);

    // A search started: the bar fills again from empty, unless a calibration runs.
    void vStartSearch();
    // The device started a calibration.
    void vStartCalibration();
    // 0 idle, 1 started, 2 running.
    int iCalibrationState() const { return m_iCalibState; }

    QTimer& searchTimer() { return m_search; }
    QTimer& calibrationTimer() { return m_calibration; }

  signals:
    // The search has run its time (the bar is full).
    void sigSearchDone();

  private:
    void vSearchTick();
    void vCalibrationTick();

    QProgressBar& m_bar;
    CStation* m_pStation;
    QTimer m_search;
    QTimer m_calibration;
    int m_iCalibState = 0;
};
