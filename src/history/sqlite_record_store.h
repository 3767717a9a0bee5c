#pragma once

// The station's own record store: one SQLite file in write-ahead-log mode with full
// synchronisation, so that a killed station (or a killed writer among several on one
// bench) leaves a readable file with every committed record. Every record stored here
// also enters the outbox until a shared server has it.
//
// Threads: one object is used by one thread at a time; several objects (and several
// processes) may use one file at once, each waiting up to kBusyWaitMs for another's
// write to end.

#include <memory>
#include <string>
#include <vector>

#include "history/record_store.h"

struct sqlite3;
struct sqlite3_stmt;

class CSqliteRecordStore final : public IRecordStore {
  public:
    static constexpr int kBusyWaitMs = 10000;

    // Opens the file (created when missing) and brings its schema up to date. nullptr
    // with a reason when the file cannot be opened or its schema is newer.
    static std::unique_ptr<CSqliteRecordStore> psOpen(const std::string& path, std::string& error);
    ~CSqliteRecordStore() override;
    CSqliteRecordStore(const CSqliteRecordStore&) = delete;
    CSqliteRecordStore& operator=(const CSqliteRecordStore&) = delete;

    bool fgStore(const std::vector<CDeviceRecord>& records, std::string& error) override;
    bool fgQuery(const CHistoryQuery& query, std::vector<CDeviceRecord>& records,
                 std::string& error) override;

    // Up to limit records of the outbox, oldest first.
    bool fgReadOutbox(int limit, std::vector<CDeviceRecord>& records, std::string& error);
    // Takes the records with these keys out of the outbox.
    bool fgClearOutbox(const std::vector<std::string>& keys, std::string& error);
    // Records waiting in the outbox, -1 when it cannot be read.
    long long iOutboxCount();

  private:
    struct CCloser {
        void operator()(sqlite3* db) const;
    };
    struct CToken {};

  public:
    // Takes the open connection; only psOpen makes one.
    CSqliteRecordStore(CToken, sqlite3* db) : m_db(db) {}

  private:
    bool fgMigrate(std::string& error);
    bool fgExec(const char* sql, std::string& error);
    // Reads the records a prepared statement selects (its first column the row id).
    bool fgReadRecords(sqlite3_stmt* statement, std::vector<CDeviceRecord>& records,
                       std::vector<long long>* rowIds, std::string& error);
    bool fgReadDetails(long long rowId, CDeviceRecord& record, std::string& error);
    std::string strError() const;

    std::unique_ptr<sqlite3, CCloser> m_db;
};
