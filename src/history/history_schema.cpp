#include "history/history_schema.h"

namespace {

// Version 1: the records with their steps and files. Device text is kept as bytes
// (BLOB, BYTEA): a UID or version that is not valid UTF-8 is stored unchanged.
constexpr std::string_view kSqliteV1[] = {
    "CREATE TABLE records ("
    " id INTEGER PRIMARY KEY,"
    " record_key TEXT NOT NULL UNIQUE,"
    " time_ms INTEGER NOT NULL,"
    " station TEXT NOT NULL,"
    " operator TEXT NOT NULL,"
    " uid BLOB NOT NULL,"
    " mac TEXT NOT NULL,"
    " address TEXT NOT NULL,"
    " version BLOB NOT NULL,"
    " kind TEXT NOT NULL,"
    " outcome TEXT NOT NULL,"
    " reason BLOB NOT NULL,"
    " duration_ms INTEGER NOT NULL,"
    " version_after BLOB NOT NULL)",
    "CREATE TABLE steps ("
    " record_id INTEGER NOT NULL REFERENCES records(id),"
    " seq INTEGER NOT NULL,"
    " name TEXT NOT NULL,"
    " outcome TEXT NOT NULL,"
    " reason BLOB NOT NULL,"
    " ms INTEGER NOT NULL,"
    " PRIMARY KEY (record_id, seq))",
    "CREATE TABLE files ("
    " record_id INTEGER NOT NULL REFERENCES records(id),"
    " seq INTEGER NOT NULL,"
    " name BLOB NOT NULL,"
    " type TEXT NOT NULL,"
    " bytes INTEGER NOT NULL,"
    " sha256 TEXT NOT NULL,"
    " PRIMARY KEY (record_id, seq))",
    // Records not yet forwarded to a shared server (used by the local store only).
    "CREATE TABLE outbox (record_id INTEGER PRIMARY KEY REFERENCES records(id))",
};

constexpr std::string_view kPostgresV1[] = {
    "CREATE TABLE records ("
    " id BIGSERIAL PRIMARY KEY,"
    " record_key TEXT NOT NULL UNIQUE,"
    " time_ms BIGINT NOT NULL,"
    " station TEXT NOT NULL,"
    " operator TEXT NOT NULL,"
    " uid BYTEA NOT NULL,"
    " mac TEXT NOT NULL,"
    " address TEXT NOT NULL,"
    " version BYTEA NOT NULL,"
    " kind TEXT NOT NULL,"
    " outcome TEXT NOT NULL,"
    " reason BYTEA NOT NULL,"
    " duration_ms BIGINT NOT NULL,"
    " version_after BYTEA NOT NULL)",
    "CREATE TABLE steps ("
    " record_id BIGINT NOT NULL REFERENCES records(id),"
    " seq INTEGER NOT NULL,"
    " name TEXT NOT NULL,"
    " outcome TEXT NOT NULL,"
    " reason BYTEA NOT NULL,"
    " ms BIGINT NOT NULL,"
    " PRIMARY KEY (record_id, seq))",
    "CREATE TABLE files ("
    " record_id BIGINT NOT NULL REFERENCES records(id),"
    " seq INTEGER NOT NULL,"
    " name BYTEA NOT NULL,"
    " type TEXT NOT NULL,"
    " bytes BIGINT NOT NULL,"
    " sha256 TEXT NOT NULL,"
    " PRIMARY KEY (record_id, seq))",
    "CREATE TABLE outbox (record_id BIGINT PRIMARY KEY REFERENCES records(id))",
};

// Version 2: looking up one device (by UID, MAC or address) and the latest records
// of a bench without reading every record.
constexpr std::string_view kV2[] = {
    "CREATE INDEX records_by_uid ON records (uid, time_ms)",
    "CREATE INDEX records_by_mac ON records (mac, time_ms)",
    "CREATE INDEX records_by_address ON records (address, time_ms)",
    "CREATE INDEX records_by_time ON records (time_ms)",
};

}  // namespace

std::vector<std::string_view> vecMigration(ESqlDialect dialect, int version) {
    switch (version) {
        case 1:
            return dialect == ESqlDialect::kSqlite
                       ? std::vector<std::string_view>(std::begin(kSqliteV1), std::end(kSqliteV1))
                       : std::vector<std::string_view>(std::begin(kPostgresV1),
                                                       std::end(kPostgresV1));
        case 2:
            return {std::begin(kV2), std::end(kV2)};
        default:
            return {};
    }
}
