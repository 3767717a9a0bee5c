#pragma once

#include <QObject>
#include <QTimer>

class CStation;

// The discovery side of a search, on the UI thread: the replies the receive thread
// queued become device records (20 ms ticks, a few records each, until the queue is
// empty), the search broadcast goes out a second time 100 ms after the first, and the
// device list's sort countdown runs (50 ms ticks) until the station reports it done.
// station may be null (a window without devices): the ticks then stop at once.
class CDiscoveryPump : public QObject {
    Q_OBJECT

  public:
    static constexpr int kDrainPeriodMs = 20;
    static constexpr int kSortPeriodMs = 50;
    static constexpr int kSearchAgainMs = 100;

    explicit CDiscoveryPump(CStation* station, QObject* parent = nullptr);

    // The receive thread queued discovery replies: drains them from the next tick.
    void vOnQueued();
    // A search was broadcast: the second broadcast and the sort countdown start.
    void vOnSearchStarted();

    QTimer& drainTimer() { return m_drain; }
    QTimer& sortTimer() { return m_sort; }
    QTimer& searchAgainTimer() { return m_searchAgain; }

  private:
    CStation* m_pStation;
    QTimer m_drain;
    QTimer m_sort;
    QTimer m_searchAgain;
};
