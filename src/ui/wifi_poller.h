#pragma once

#include <QObject>
#include <QTimer>

class CStation;

// The Wi-Fi status polling after a connect request, on the UI thread: a status query
// every 4 s until the station reports the polling over (ten queries, or the result).
// station may be null: the first tick then ends the polling.
class CWifiPoller : public QObject {
    Q_OBJECT

  public:
    static constexpr int kPeriodMs = 4000;

    explicit CWifiPoller(CStation* station, QObject* parent = nullptr);

    void vStart() { m_timer.start(); }
    void vStop() { m_timer.stop(); }
    QTimer& timer() { return m_timer; }

  private:
    CStation* m_pStation;
    QTimer m_timer;
};
