#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

#include "app/worker.h"
#include "history/device_record.h"
#include "history/history_store.h"

class CWindowHistory;
class QLabel;
class QLineEdit;
class QTableWidget;

// "History..." of the device list's menu (non-modal): the recorded jobs of one device,
// newest first, one row each (time in UTC, station, operator, kind, outcome, UID, MAC,
// address, version, reason, the failed steps, the files sent), read from the shared
// server when there is one and it answers, else from the station's own file. The key
// field takes a UID, MAC or address (empty: the latest records of the bench); below it,
// the history settings: the station's name, the operator and the databases.
//
// The query runs on a thread of the dialog and its rows come back onto the UI thread;
// closing the dialog waits for a query in progress (at most the server's connect
// time-out). UI thread only.
class CDlgHistory : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kColumns = 12;

    CDlgHistory(CWindowHistory& history, QWidget* parent);
    ~CDlgHistory() override;
    CDlgHistory(const CDlgHistory&) = delete;
    CDlgHistory& operator=(const CDlgHistory&) = delete;

    // Shows the records of key (a UID, MAC or address) and starts their query.
    void vShowKey(const QString& key);
    // Starts a query for the key field's text; false while one is running.
    bool fgQuery();
    bool fgQuerying() const { return m_fgQuerying; }
    QTableWidget* pTable() const { return m_pTable; }
    QLabel* pStatus() const { return m_pStatus; }

  private:
    void vOnRecords(const std::vector<CDeviceRecord>& records, EHistorySource source,
                    const std::string& error);
    void vSaveSettings();

    CWindowHistory& m_history;
    QLineEdit* m_pKey = nullptr;
    QTableWidget* m_pTable = nullptr;
    QLabel* m_pStatus = nullptr;
    QLineEdit* m_pStation = nullptr;
    QLineEdit* m_pOperator = nullptr;
    QLineEdit* m_pDatabases = nullptr;
    bool m_fgQuerying = false;  // from a query's start until its records are shown
    CWorker m_worker;
};
