#include "history/sqlite_record_store.h"

#include <sqlite3.h>

#include "history/history_schema.h"

namespace {

struct CStatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, CStatementFinalizer>;

constexpr const char* kRecordColumns =
    "SELECT id, record_key, time_ms, station, operator, uid, mac, address, version, kind,"
    " outcome, reason, duration_ms, version_after FROM records ";

// A statement with its parameters bound one after another from 1.
class CBinder {
  public:
    explicit CBinder(sqlite3_stmt* statement) : m_statement(statement) {}
    CBinder& text(const std::string& value) {
        m_ok = m_ok &&
               sqlite3_bind_text(m_statement, ++m_index, value.data(),
                                 static_cast<int>(value.size()), SQLITE_TRANSIENT) == SQLITE_OK;
        return *this;
    }
    CBinder& blob(const std::string& value) {
        // A zero-length blob must not be bound as NULL: the columns are NOT NULL.
        m_ok = m_ok &&
               sqlite3_bind_blob(m_statement, ++m_index, value.empty() ? "" : value.data(),
                                 static_cast<int>(value.size()), SQLITE_TRANSIENT) == SQLITE_OK;
        return *this;
    }
    CBinder& integer(long long value) {
        m_ok = m_ok && sqlite3_bind_int64(m_statement, ++m_index, value) == SQLITE_OK;
        return *this;
    }
    bool fgOk() const { return m_ok; }

  private:
    sqlite3_stmt* m_statement;
    int m_index = 0;
    bool m_ok = true;
};

std::string strColumn(sqlite3_stmt* statement, int column) {
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, column));
    const int length = sqlite3_column_bytes(statement, column);
    return bytes == nullptr ? std::string() : std::string(bytes, static_cast<std::size_t>(length));
}

EJobOutcome eOutcomeColumn(sqlite3_stmt* statement, int column) {
    return sJobOutcomeByName(strColumn(statement, column)).value_or(EJobOutcome::kError);
}

}  // namespace

void CSqliteRecordStore::CCloser::operator()(sqlite3* db) const {
    sqlite3_close_v2(db);
}

std::unique_ptr<CSqliteRecordStore> CSqliteRecordStore::psOpen(const std::string& path,
                                                               std::string& error) {
    sqlite3* raw = nullptr;
    const int rc =
        sqlite3_open_v2(path.c_str(), &raw,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    auto store = std::make_unique<CSqliteRecordStore>(CToken{}, raw);
    if (rc != SQLITE_OK) {
        error = "cannot open " + path + ": " + store->strError();
        return nullptr;
    }
    sqlite3_busy_timeout(raw, kBusyWaitMs);
    // WAL keeps a committed transaction whatever happens to the process; FULL makes it
    // survive a power cut too. Foreign keys are checked for steps and files.
    if (!store->fgExec("PRAGMA journal_mode=WAL", error) ||
        !store->fgExec("PRAGMA synchronous=FULL", error) ||
        !store->fgExec("PRAGMA foreign_keys=ON", error) || !store->fgMigrate(error)) {
        error = path + ": " + error;
        return nullptr;
    }
    return store;
}

CSqliteRecordStore::~CSqliteRecordStore() = default;

std::string CSqliteRecordStore::strError() const {
    return m_db ? sqlite3_errmsg(m_db.get()) : "out of memory";
}

bool CSqliteRecordStore::fgExec(const char* sql, std::string& error) {
    char* message = nullptr;
    if (sqlite3_exec(m_db.get(), sql, nullptr, nullptr, &message) == SQLITE_OK) {
        return true;
    }
    error = message != nullptr ? message : strError();
    sqlite3_free(message);
    return false;
}

bool CSqliteRecordStore::fgMigrate(std::string& error) {
    // IMMEDIATE: two stations opening a new file at once migrate it one after the other.
    if (!fgExec("BEGIN IMMEDIATE", error)) {
        return false;
    }
    const auto rollback = [this] {
        std::string ignored;
        fgExec("ROLLBACK", ignored);
        return false;
    };
    if (!fgExec("CREATE TABLE IF NOT EXISTS kestrel_schema (version INTEGER NOT NULL)", error)) {
        return rollback();
    }
    sqlite3_stmt* raw = nullptr;
    sqlite3_prepare_v2(m_db.get(), "SELECT max(version) FROM kestrel_schema", -1, &raw, nullptr);
    const StatementPtr select(raw);
    if (!select || sqlite3_step(select.get()) != SQLITE_ROW) {
        error = strError();
        return rollback();
    }
    const int version = sqlite3_column_int(select.get(), 0);
    if (version > kHistorySchemaVersion) {
        error = "history schema " + std::to_string(version) + " is newer than this station's " +
                std::to_string(kHistorySchemaVersion);
        return rollback();
    }
    for (int next = version + 1; next <= kHistorySchemaVersion; ++next) {
        for (const std::string_view statement : vecMigration(ESqlDialect::kSqlite, next)) {
            if (!fgExec(std::string(statement).c_str(), error)) {
                return rollback();
            }
        }
        const std::string mark = "DELETE FROM kestrel_schema; INSERT INTO kestrel_schema VALUES (" +
                                 std::to_string(next) + ")";
        if (!fgExec(mark.c_str(), error)) {
            return rollback();
        }
    }
    return fgExec("COMMIT", error) || rollback();
}

bool CSqliteRecordStore::fgStore(const std::vector<CDeviceRecord>& records, std::string& error) {
    const auto prepare = [this](const char* sql) {
        sqlite3_stmt* raw = nullptr;
        sqlite3_prepare_v2(m_db.get(), sql, -1, &raw, nullptr);
        return StatementPtr(raw);
    };
    const StatementPtr insertRecord = prepare(
        "INSERT INTO records (record_key, time_ms, station, operator, uid, mac, address,"
        " version, kind, outcome, reason, duration_ms, version_after)"
        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (record_key) DO NOTHING");
    const StatementPtr insertStep = prepare(
        "INSERT INTO steps (record_id, seq, name, outcome, reason, ms) VALUES (?, ?, ?, ?, ?, ?)");
    const StatementPtr insertFile = prepare(
        "INSERT INTO files (record_id, seq, name, type, bytes, sha256) VALUES (?, ?, ?, ?, ?, ?)");
    const StatementPtr insertOutbox = prepare("INSERT INTO outbox (record_id) VALUES (?)");
    if (!insertRecord || !insertStep || !insertFile || !insertOutbox) {
        error = strError();
        return false;
    }
    if (!fgExec("BEGIN IMMEDIATE", error)) {
        return false;
    }
    const auto run = [this, &error](sqlite3_stmt* statement, const CBinder& binder) {
        const bool done = binder.fgOk() && sqlite3_step(statement) == SQLITE_DONE;
        if (!done) {
            error = strError();
        }
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
        return done;
    };
    bool ok = true;
    for (const CDeviceRecord& record : records) {
        ok = run(insertRecord.get(), CBinder(insertRecord.get())
                                         .text(record.m_strKey)
                                         .integer(record.m_llTimeMs)
                                         .text(record.m_strStation)
                                         .text(record.m_strOperator)
                                         .blob(record.m_strUid)
                                         .text(record.m_strMac)
                                         .text(record.m_strAddress)
                                         .blob(record.m_strVersion)
                                         .text(record.m_strKind)
                                         .text(std::string(strJobOutcomeName(record.m_eOutcome)))
                                         .blob(record.m_strReason)
                                         .integer(record.m_llDurationMs)
                                         .blob(record.m_strVersionAfter));
        if (!ok) {
            break;
        }
        if (sqlite3_changes(m_db.get()) == 0) {
            continue;  // stored before
        }
        const long long rowId = sqlite3_last_insert_rowid(m_db.get());
        for (std::size_t i = 0; ok && i < record.m_steps.size(); ++i) {
            const CRecordStep& step = record.m_steps[i];
            ok = run(insertStep.get(), CBinder(insertStep.get())
                                           .integer(rowId)
                                           .integer(static_cast<long long>(i))
                                           .text(step.m_strName)
                                           .text(std::string(strJobOutcomeName(step.m_eOutcome)))
                                           .blob(step.m_strReason)
                                           .integer(step.m_llMs));
        }
        for (std::size_t i = 0; ok && i < record.m_files.size(); ++i) {
            const CRecordFile& file = record.m_files[i];
            ok = run(insertFile.get(), CBinder(insertFile.get())
                                           .integer(rowId)
                                           .integer(static_cast<long long>(i))
                                           .blob(file.m_strName)
                                           .text(file.m_strType)
                                           .integer(file.m_llBytes)
                                           .text(file.m_strSha256));
        }
        ok = ok && run(insertOutbox.get(), CBinder(insertOutbox.get()).integer(rowId));
        if (!ok) {
            break;
        }
    }
    if (ok && fgExec("COMMIT", error)) {
        return true;
    }
    std::string ignored;
    fgExec("ROLLBACK", ignored);
    return false;
}

bool CSqliteRecordStore::fgReadRecords(sqlite3_stmt* statement, std::vector<CDeviceRecord>& records,
                                       std::vector<long long>* rowIds, std::string& error) {
    std::vector<long long> ids;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        CDeviceRecord record;
        ids.push_back(sqlite3_column_int64(statement, 0));
        record.m_strKey = strColumn(statement, 1);
        record.m_llTimeMs = sqlite3_column_int64(statement, 2);
        record.m_strStation = strColumn(statement, 3);
        record.m_strOperator = strColumn(statement, 4);
        record.m_strUid = strColumn(statement, 5);
        record.m_strMac = strColumn(statement, 6);
        record.m_strAddress = strColumn(statement, 7);
        record.m_strVersion = strColumn(statement, 8);
        record.m_strKind = strColumn(statement, 9);
        record.m_eOutcome = eOutcomeColumn(statement, 10);
        record.m_strReason = strColumn(statement, 11);
        record.m_llDurationMs = sqlite3_column_int64(statement, 12);
        record.m_strVersionAfter = strColumn(statement, 13);
        records.push_back(std::move(record));
    }
    if (rc != SQLITE_DONE) {
        error = strError();
        return false;
    }
    const std::size_t first = records.size() - ids.size();
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (!fgReadDetails(ids[i], records[first + i], error)) {
            return false;
        }
    }
    if (rowIds != nullptr) {
        rowIds->insert(rowIds->end(), ids.begin(), ids.end());
    }
    return true;
}

bool CSqliteRecordStore::fgReadDetails(long long rowId, CDeviceRecord& record, std::string& error) {
    sqlite3_stmt* raw = nullptr;
    sqlite3_prepare_v2(m_db.get(),
                       "SELECT name, outcome, reason, ms FROM steps WHERE record_id = ?"
                       " ORDER BY seq",
                       -1, &raw, nullptr);
    const StatementPtr steps(raw);
    raw = nullptr;
    sqlite3_prepare_v2(m_db.get(),
                       "SELECT name, type, bytes, sha256 FROM files WHERE record_id = ?"
                       " ORDER BY seq",
                       -1, &raw, nullptr);
    const StatementPtr files(raw);
    if (!steps || !files || !CBinder(steps.get()).integer(rowId).fgOk() ||
        !CBinder(files.get()).integer(rowId).fgOk()) {
        error = strError();
        return false;
    }
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(steps.get())) == SQLITE_ROW) {
        record.m_steps.push_back({strColumn(steps.get(), 0), eOutcomeColumn(steps.get(), 1),
                                  strColumn(steps.get(), 2), sqlite3_column_int64(steps.get(), 3)});
    }
    if (rc == SQLITE_DONE) {
        while ((rc = sqlite3_step(files.get())) == SQLITE_ROW) {
            record.m_files.push_back({strColumn(files.get(), 0), strColumn(files.get(), 1),
                                      sqlite3_column_int64(files.get(), 2),
                                      strColumn(files.get(), 3)});
        }
    }
    if (rc != SQLITE_DONE) {
        error = strError();
        return false;
    }
    return true;
}

bool CSqliteRecordStore::fgQuery(const CHistoryQuery& query, std::vector<CDeviceRecord>& records,
                                 std::string& error) {
    // The key's column comes from this fixed table; every value is a parameter.
    const char* keyCondition = "";
    switch (query.m_eKey) {
        case EHistoryKey::kNone:
            break;
        case EHistoryKey::kUid:
            keyCondition = "uid = ? AND ";
            break;
        case EHistoryKey::kMac:
            keyCondition = "mac = ? AND ";
            break;
        case EHistoryKey::kAddress:
            keyCondition = "address = ? AND ";
            break;
    }
    const std::string sql = std::string(kRecordColumns) + "WHERE " + keyCondition +
                            "time_ms >= ? AND (? = '' OR kind = ?)"
                            " ORDER BY time_ms DESC, id DESC LIMIT ?";
    sqlite3_stmt* raw = nullptr;
    sqlite3_prepare_v2(m_db.get(), sql.c_str(), -1, &raw, nullptr);
    const StatementPtr select(raw);
    if (!select) {
        error = strError();
        return false;
    }
    CBinder binder(select.get());
    if (query.m_eKey == EHistoryKey::kUid) {
        binder.blob(query.m_strKey);
    } else if (query.m_eKey != EHistoryKey::kNone) {
        binder.text(query.m_strKey);
    }
    binder.integer(query.m_llSinceMs)
        .text(query.m_strKind)
        .text(query.m_strKind)
        .integer(query.m_iLimit);
    if (!binder.fgOk()) {
        error = strError();
        return false;
    }
    return fgReadRecords(select.get(), records, nullptr, error);
}

bool CSqliteRecordStore::fgReadOutbox(int limit, std::vector<CDeviceRecord>& records,
                                      std::string& error) {
    const std::string sql = std::string(kRecordColumns) +
                            "WHERE id IN (SELECT record_id FROM outbox ORDER BY record_id LIMIT ?)"
                            " ORDER BY id";
    sqlite3_stmt* raw = nullptr;
    sqlite3_prepare_v2(m_db.get(), sql.c_str(), -1, &raw, nullptr);
    const StatementPtr select(raw);
    if (!select || !CBinder(select.get()).integer(limit).fgOk()) {
        error = strError();
        return false;
    }
    return fgReadRecords(select.get(), records, nullptr, error);
}

bool CSqliteRecordStore::fgClearOutbox(const std::vector<std::string>& keys, std::string& error) {
    sqlite3_stmt* raw = nullptr;
    sqlite3_prepare_v2(m_db.get(),
                       "DELETE FROM outbox WHERE record_id ="
                       " (SELECT id FROM records WHERE record_key = ?)",
                       -1, &raw, nullptr);
    const StatementPtr remove(raw);
    if (!remove) {
        error = strError();
        return false;
    }
    if (!fgExec("BEGIN IMMEDIATE", error)) {
        return false;
    }
    for (const std::string& key : keys) {
        if (!CBinder(remove.get()).text(key).fgOk() || sqlite3_step(remove.get()) != SQLITE_DONE) {
            error = strError();
            std::string ignored;
            fgExec("ROLLBACK", ignored);
            return false;
        }
        sqlite3_reset(remove.get());
    }
    return fgExec("COMMIT", error);
}

long long CSqliteRecordStore::iOutboxCount() {
    sqlite3_stmt* raw = nullptr;
    sqlite3_prepare_v2(m_db.get(), "SELECT count(*) FROM outbox", -1, &raw, nullptr);
    const StatementPtr count(raw);
    if (!count || sqlite3_step(count.get()) != SQLITE_ROW) {
        return -1;
    }
    return sqlite3_column_int64(count.get(), 0);
}
