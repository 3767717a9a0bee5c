#pragma once

#include <QObject>
#include <QPointer>

#include "upgrade/upgrade_view.h"

class CclientDlg;

// The upgrade's view of the main window. The upgrader calls it on its own threads and
// on the transport's receive thread; every call is queued onto the UI thread with
// copies of its values and returns at once. Events and the summary become result
// lines; the summary also ends the window's progress display. Calls that arrive while
// no window is attached are dropped.
//
// Lives on the UI thread and must outlive the upgrader.
class CUpgradeBridge final : public QObject, public IUpgradeView {
    Q_OBJECT

  public:
    explicit CUpgradeBridge(QObject* parent = nullptr);

    // The window the calls go to (nullptr: none). UI thread only.
    void vAttach(CclientDlg* window) { m_window = window; }

    void vOnUpgradeEvent(const CUpgEvent& event) override;
    void vOnUpgradeSummary(const CUpgSummary& summary) override;

  private:
    QPointer<CclientDlg> m_window;  // read on the UI thread only
};
