#pragma once

// A shared PostgreSQL server as a record store, reached by a connection URL
// ("postgresql://user@host/db", "postgresql:///db?host=/run/socket"). Connecting gives
// up after kConnectTimeoutS so that a station never hangs on a server that is down.
//
// Threads: one object is used by one thread at a time; any number of stations may
// write to one server at once.

#include <memory>
#include <string>
#include <vector>

#include "history/record_store.h"

struct pg_conn;

class CPgRecordStore final : public IRecordStore {
  public:
    static constexpr int kConnectTimeoutS = 3;

    // Connects and brings the server's schema up to date (under a lock, so two stations
    // starting at once migrate it once). nullptr with a reason when the server cannot
    // be reached or its schema is newer.
    static std::unique_ptr<CPgRecordStore> psOpen(const std::string& url, std::string& error);
    ~CPgRecordStore() override;
    CPgRecordStore(const CPgRecordStore&) = delete;
    CPgRecordStore& operator=(const CPgRecordStore&) = delete;

    bool fgStore(const std::vector<CDeviceRecord>& records, std::string& error) override;
    bool fgQuery(const CHistoryQuery& query, std::vector<CDeviceRecord>& records,
                 std::string& error) override;

  private:
    struct CCloser {
        void operator()(pg_conn* connection) const;
    };
    struct CToken {};

  public:
    // Takes the open connection; only psOpen makes one.
    CPgRecordStore(CToken, pg_conn* connection) : m_connection(connection) {}

  private:
    bool fgExec(const char* sql, std::string& error);
    bool fgMigrate(std::string& error);
    // The steps and files of records (rowIds[i] the row of records[i]), two queries.
    bool fgReadDetails(const std::vector<long long>& rowIds, std::vector<CDeviceRecord>& records,
                       std::string& error);

    std::unique_ptr<pg_conn, CCloser> m_connection;
};
