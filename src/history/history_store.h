#pragma once

// The device history of a station: every record goes into the station's own SQLite
// file first, so a job never waits for or fails because of a shared server; with a
// PostgreSQL server configured, sForward() hands the records that wait there (the
// outbox) to the server, oldest first, each kept once however often it is sent.
//
//   std::string error;
//   auto config = sParseHistoryDb("postgresql:///line?host=/run/pg", localPath, error);
//   auto history = CHistoryStore::psOpen(*config, error);
//   history->fgRecord({record}, error);
//   const CForwardResult sent = history->sForward();   // at the end of a run
//
// Threads: one object is used by one thread at a time; open one per thread (the
// window's background forwarder has its own).

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "history/device_record.h"

class CSqliteRecordStore;

struct CHistoryConfig {
    std::string m_strLocalPath;  // the station's SQLite file
    std::string m_strServerUrl;  // a postgresql:// URL, or empty: no shared server
};

// The file name of the station's own store in its writable folder.
inline constexpr const char* kHistoryFileName = "history.sqlite";

// The configuration for the --db values, each "sqlite:PATH" (the station's own file
// instead of defaultLocalPath) or "postgresql://..." / "postgres://..." (a shared
// server as well); none: the default file only. nullopt with a reason for any other
// value or for two of one kind.
std::optional<CHistoryConfig> sParseHistoryDb(const std::vector<std::string>& dbs,
                                              const std::string& defaultLocalPath,
                                              std::string& error);

// The station's name when none is given: the host name, or "station".
std::string strDefaultStationName();

struct CForwardResult {
    long long m_llForwarded = 0;  // records the server took in this call
    long long m_llWaiting = 0;    // records still waiting for it (-1: unknown)
    std::string m_strError;       // why the server did not take them all; empty: it did
};

// Where a query's records came from.
enum class EHistorySource { kLocal, kServer };

class CHistoryStore {
  public:
    // Opens (creates) the station's file. nullptr with a reason when it cannot.
    static std::unique_ptr<CHistoryStore> psOpen(const CHistoryConfig& config, std::string& error);
    ~CHistoryStore();
    CHistoryStore(const CHistoryStore&) = delete;
    CHistoryStore& operator=(const CHistoryStore&) = delete;

    bool fgHasServer() const { return !m_config.m_strServerUrl.empty(); }

    // Writes the records to the station's file (and its outbox) in one transaction.
    bool fgRecord(const std::vector<CDeviceRecord>& records, std::string& error);

    // Sends the outbox to the server in batches until it is empty or the server fails;
    // nothing without a server. Never throws; a server that is down costs at most its
    // connect time-out.
    CForwardResult sForward();

    // Records waiting for the server (-1 when the file cannot be read); 0 without one.
    long long iWaiting();

    // From the server when there is one and it answers (after forwarding what waits,
    // so the station's own records are in the answer), else from the station's file.
    bool fgQuery(const CHistoryQuery& query, std::vector<CDeviceRecord>& records,
                 EHistorySource& source, std::string& error);

    struct CToken {};
    CHistoryStore(CToken, CHistoryConfig config, std::unique_ptr<CSqliteRecordStore> local);

  private:
    static constexpr int kForwardBatch = 200;

    CHistoryConfig m_config;
    std::unique_ptr<CSqliteRecordStore> m_local;
};
