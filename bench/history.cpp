// The device history's two numbers for a factory: the time to record 10,000
// device-jobs, and the time to look up one device's history among 1,000,000 records;
// in the station's SQLite file and in a throw-away PostgreSQL server (unix socket in a
// temporary folder, no TCP). Baselines measured in the same run: recording in batches
// of 200 (as the outbox forwards) against one job per transaction (as a job records),
// and the lookup with its index against the same lookup after the index is dropped.
#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "history/pg_record_store.h"
#include "history/sqlite_record_store.h"
#include "support/pg_server.h"
#include "support/temp_dir.h"

namespace {

constexpr int kJobs = 10000;
constexpr int kBatch = 200;
constexpr long long kRecords = 1000000;
constexpr long long kDevices = 100000;  // ten records each
constexpr int kLookups = 200;
constexpr int kScanLookups = 3;

using Clock = std::chrono::steady_clock;

double dSeconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

CDeviceRecord sJob(int index) {
    CDeviceRecord record;
    record.m_strKey = strNewRecordKey();
    record.m_llTimeMs = iNowUtcMs();
    record.m_strStation = "bench-1";
    record.m_strUid = "JOB" + std::to_string(index);
    record.m_strMac = "02:4B:53:00:00:01";
    record.m_strAddress = "10.0.0.5";
    record.m_strVersion = "V3.4.7.240612";
    record.m_strKind = "check";
    record.m_eOutcome = EJobOutcome::kPass;
    // A line check's nine steps.
    for (const char* step :
         {"search", "login", "uid", "version", "sd", "wifi", "video", "audio", "horn"}) {
        record.m_steps.push_back({step, EJobOutcome::kPass, "seen", 12});
    }
    return record;
}

// Seconds to store kJobs records, batch at a time.
double dRecordJobs(IRecordStore& store, int batch) {
    const Clock::time_point start = Clock::now();
    std::string error;
    for (int first = 0; first < kJobs; first += batch) {
        std::vector<CDeviceRecord> records;
        for (int i = first; i < first + batch && i < kJobs; ++i) {
            records.push_back(sJob(i));
        }
        if (!store.fgStore(records, error)) {
            std::fprintf(stderr, "bench_history: %s\n", error.c_str());
            return -1;
        }
    }
    return dSeconds(start);
}

// Mean milliseconds of one device's lookup (with its steps), over lookups devices.
double dLookupMs(IRecordStore& store, int lookups) {
    std::mt19937 random(7);
    std::uniform_int_distribution<long long> device(0, kDevices - 1);
    const Clock::time_point start = Clock::now();
    std::string error;
    for (int i = 0; i < lookups; ++i) {
        char uid[32];
        std::snprintf(uid, sizeof uid, "KSIM%016lld", device(random));
        CHistoryQuery query = sQueryForKey(uid);
        std::vector<CDeviceRecord> records;
        if (!store.fgQuery(query, records, error) || records.size() != kRecords / kDevices) {
            std::fprintf(stderr, "bench_history: lookup of %s: %zu records %s\n", uid,
                         records.size(), error.c_str());
            return -1;
        }
    }
    return dSeconds(start) * 1000.0 / lookups;
}

bool fgSqliteExec(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK;
    char* message = nullptr;
    ok = ok && sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK;
    if (!ok) {
        std::fprintf(stderr, "bench_history: %s\n", message != nullptr ? message : "open");
    }
    sqlite3_free(message);
    sqlite3_close(db);
    return ok;
}

bool fgPgExec(const std::string& url, const char* sql) {
    PGconn* connection = PQconnectdb(url.c_str());
    PGresult* result = PQexec(connection, sql);
    const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
    if (!ok) {
        std::fprintf(stderr, "bench_history: %s\n", PQerrorMessage(connection));
    }
    PQclear(result);
    PQfinish(connection);
    return ok;
}

// A million records of a hundred thousand devices, two steps each, made by the
// database itself (the fill is not what is measured).
constexpr const char* kSqliteFill =
    "BEGIN;"
    "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 999999)"
    " INSERT INTO records (record_key, time_ms, station, operator, uid, mac, address, version,"
    " kind, outcome, reason, duration_ms, version_after)"
    " SELECT 'fill' || i, 1700000000000 + i, 'bench-' || (i % 8), '',"
    " CAST(printf('KSIM%016d', i % 100000) AS BLOB), '02:4B:53:00:00:01', '10.0.0.5',"
    " CAST('V3.4.7' AS BLOB), 'check', 'pass', x'', 100, x'' FROM n;"
    "INSERT INTO steps (record_id, seq, name, outcome, reason, ms)"
    " SELECT id, 0, 'login', 'pass', x'', 5 FROM records WHERE record_key LIKE 'fill%';"
    "INSERT INTO steps (record_id, seq, name, outcome, reason, ms)"
    " SELECT id, 1, 'uid', 'pass', x'', 1 FROM records WHERE record_key LIKE 'fill%';"
    "COMMIT;";

constexpr const char* kPgFill =
    "INSERT INTO records (record_key, time_ms, station, operator, uid, mac, address, version,"
    " kind, outcome, reason, duration_ms, version_after)"
    " SELECT 'fill' || i, 1700000000000 + i, 'bench-' || (i % 8), '',"
    " convert_to('KSIM' || lpad((i % 100000)::text, 16, '0'), 'UTF8'), '02:4B:53:00:00:01',"
    " '10.0.0.5', convert_to('V3.4.7', 'UTF8'), 'check', 'pass', '', 100, ''"
    " FROM generate_series(0, 999999) AS i;"
    "INSERT INTO steps (record_id, seq, name, outcome, reason, ms)"
    " SELECT id, s, CASE s WHEN 0 THEN 'login' ELSE 'uid' END, 'pass', '', 5"
    " FROM records, generate_series(0, 1) AS s WHERE record_key LIKE 'fill%';"
    "ANALYZE;";

void vReport(const char* name, double oneByOne, double batched, double lookupMs, double scanMs) {
    std::printf(
        "%s: record %d device-jobs: %.2f s one per transaction (%.0f jobs/s), "
        "%.2f s in batches of %d (ratio %.1fx)\n",
        name, kJobs, oneByOne, kJobs / oneByOne, batched, kBatch, oneByOne / batched);
    std::printf(
        "%s: one device's history (10 records with steps) among %lld records: "
        "%.2f ms with the index, %.1f ms without (ratio %.0fx)\n",
        name, kRecords, lookupMs, scanMs, scanMs / lookupMs);
}

int iBenchSqlite(const CTempDir& dir) {
    std::string error;
    const std::string jobsPath = dir.file("jobs.sqlite");
    auto jobs = CSqliteRecordStore::psOpen(jobsPath, error);
    if (!jobs) {
        std::fprintf(stderr, "bench_history: %s\n", error.c_str());
        return 1;
    }
    const double oneByOne = dRecordJobs(*jobs, 1);
    const double batched = dRecordJobs(*jobs, kBatch);

    const std::string bigPath = dir.file("million.sqlite");
    auto big = CSqliteRecordStore::psOpen(bigPath, error);
    const Clock::time_point fillStart = Clock::now();
    if (!big || !fgSqliteExec(bigPath, kSqliteFill)) {
        return 1;
    }
    std::printf("sqlite: filled %lld records in %.1f s\n", kRecords, dSeconds(fillStart));
    const double lookupMs = dLookupMs(*big, kLookups);
    if (!fgSqliteExec(bigPath, "DROP INDEX records_by_uid")) {
        return 1;
    }
    const double scanMs = dLookupMs(*big, kScanLookups);
    vReport("sqlite", oneByOne, batched, lookupMs, scanMs);
    return oneByOne < 0 || batched < 0 || lookupMs < 0 || scanMs < 0 ? 1 : 0;
}

int iBenchPostgres() {
    std::string reason;
    const std::unique_ptr<CPgServer> server = CPgServer::psStart(reason, CPgServer::ESync::kOn);
    if (!server) {
        std::printf("postgresql: skipped (%s)\n", reason.c_str());
        return 0;
    }
    std::string error;
    auto jobs = CPgRecordStore::psOpen(server->strCreateDatabase("jobs"), error);
    if (!jobs) {
        std::fprintf(stderr, "bench_history: %s\n", error.c_str());
        return 1;
    }
    const double oneByOne = dRecordJobs(*jobs, 1);
    const double batched = dRecordJobs(*jobs, kBatch);

    const std::string bigUrl = server->strCreateDatabase("million");
    auto big = CPgRecordStore::psOpen(bigUrl, error);
    const Clock::time_point fillStart = Clock::now();
    if (!big || !fgPgExec(bigUrl, kPgFill)) {
        return 1;
    }
    std::printf("postgresql: filled %lld records in %.1f s\n", kRecords, dSeconds(fillStart));
    const double lookupMs = dLookupMs(*big, kLookups);
    if (!fgPgExec(bigUrl, "DROP INDEX records_by_uid")) {
        return 1;
    }
    const double scanMs = dLookupMs(*big, kScanLookups);
    vReport("postgresql", oneByOne, batched, lookupMs, scanMs);
    return oneByOne < 0 || batched < 0 || lookupMs < 0 || scanMs < 0 ? 1 : 0;
}

}  // namespace

int main() {
    const CTempDir dir;
    const int sqlite = iBenchSqlite(dir);
    const int postgres = iBenchPostgres();
    return sqlite != 0 ? sqlite : postgres;
}
