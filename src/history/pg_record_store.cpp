#include "history/pg_record_store.h"

#include <libpq-fe.h>

#include <array>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <map>

#include "app/text_conv.h"
#include "history/history_schema.h"

namespace {

struct CResultClearer {
    void operator()(PGresult* result) const { PQclear(result); }
};
using ResultPtr = std::unique_ptr<PGresult, CResultClearer>;

// Any number, chosen once: the lock that serialises migrations of one database.
constexpr long long kMigrationLock = 0x4b657374726c31;

constexpr const char* kRecordColumns =
    "SELECT id, record_key, time_ms, station, operator, uid, mac, address, version, kind,"
    " outcome, reason, duration_ms, version_after FROM records ";

// Parameters of one statement: text (valid UTF-8, as the server demands), bytes (sent
// in binary, any content) and integers (as decimal text).
class CParams {
  public:
    CParams& text(const std::string& value) { return vAdd(strSanitizeUtf8(value), 0); }
    CParams& bytes(const std::string& value) { return vAdd(value, 1); }
    CParams& integer(long long value) { return vAdd(std::to_string(value), 0); }

    PGresult* pExec(PGconn* connection, const char* sql) {
        std::vector<const char*> values;
        std::vector<int> lengths;
        for (const std::string& value : m_values) {
            values.push_back(value.c_str());
            lengths.push_back(static_cast<int>(value.size()));
        }
        // Results in binary: integers as 8 bytes in network order, texts and bytes raw.
        return PQexecParams(connection, sql, static_cast<int>(m_values.size()), nullptr,
                            values.data(), lengths.data(), m_formats.data(), 1);
    }

  private:
    CParams& vAdd(std::string value, int format) {
        m_values.push_back(std::move(value));
        m_formats.push_back(format);
        return *this;
    }
    std::vector<std::string> m_values;
    std::vector<int> m_formats;
};

bool fgResultOk(const PGresult* result, std::string& error) {
    const ExecStatusType status = PQresultStatus(result);
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
        return true;
    }
    error = result != nullptr ? PQresultErrorMessage(result) : "out of memory";
    while (!error.empty() && (error.back() == '\n' || error.back() == ' ')) {
        error.pop_back();
    }
    return false;
}

std::string strField(const PGresult* result, int row, int column) {
    return {PQgetvalue(result, row, column),
            static_cast<std::size_t>(PQgetlength(result, row, column))};
}

// A binary integer field (int4 or int8, network order).
long long iIntField(const PGresult* result, int row, int column) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(PQgetvalue(result, row, column));
    const int length = PQgetlength(result, row, column);
    unsigned long long value = 0;
    for (int i = 0; i < length && i < 8; ++i) {
        value = (value << 8) | bytes[i];
    }
    if (length == 4) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }
    return static_cast<long long>(value);
}

// "($1::bigint, $2::integer, ...), (...)": rows of placeholders with their types,
// numbered on; the values themselves are always parameters.
std::string strValueRows(std::size_t rows, std::initializer_list<const char*> types) {
    std::string sql;
    int next = 1;
    for (std::size_t row = 0; row < rows; ++row) {
        sql += row == 0 ? "(" : ", (";
        bool first = true;
        for (const char* type : types) {
            sql += (first ? "$" : ", $") + std::to_string(next++) + "::" + type;
            first = false;
        }
        sql += ")";
    }
    return sql;
}

EJobOutcome eOutcomeField(const PGresult* result, int row, int column) {
    return sJobOutcomeByName(strField(result, row, column)).value_or(EJobOutcome::kError);
}

}  // namespace

void CPgRecordStore::CCloser::operator()(pg_conn* connection) const {
    PQfinish(connection);
}

std::unique_ptr<CPgRecordStore> CPgRecordStore::psOpen(const std::string& url, std::string& error) {
    const std::string timeout = std::to_string(kConnectTimeoutS);
    // Later keywords win: the URL's own settings override the time-out given first.
    const std::array<const char*, 4> keywords{"connect_timeout", "application_name", "dbname",
                                              nullptr};
    const std::array<const char*, 4> values{timeout.c_str(), "kestrel", url.c_str(), nullptr};
    PGconn* raw = PQconnectdbParams(keywords.data(), values.data(), 1);
    auto store = std::make_unique<CPgRecordStore>(CToken{}, raw);
    if (raw == nullptr || PQstatus(raw) != CONNECTION_OK) {
        error = raw != nullptr ? PQerrorMessage(raw) : "out of memory";
        while (!error.empty() && (error.back() == '\n' || error.back() == ' ')) {
            error.pop_back();
        }
        return nullptr;
    }
    // The server's notices ("relation exists, skipping") are not the station's output.
    PQsetNoticeProcessor(
        raw, [](void*, const char*) {}, nullptr);
    if (!store->fgMigrate(error)) {
        return nullptr;
    }
    return store;
}

CPgRecordStore::~CPgRecordStore() = default;

bool CPgRecordStore::fgExec(const char* sql, std::string& error) {
    const ResultPtr result(PQexec(m_connection.get(), sql));
    return fgResultOk(result.get(), error);
}

bool CPgRecordStore::fgMigrate(std::string& error) {
    if (!fgExec("BEGIN", error)) {
        return false;
    }
    const auto rollback = [this] {
        std::string ignored;
        fgExec("ROLLBACK", ignored);
        return false;
    };
    const ResultPtr lock(
        CParams()
            .integer(kMigrationLock)
            .pExec(m_connection.get(), "SELECT pg_advisory_xact_lock($1::bigint)"));
    if (!fgResultOk(lock.get(), error) ||
        !fgExec("CREATE TABLE IF NOT EXISTS kestrel_schema (version INTEGER NOT NULL)", error)) {
        return rollback();
    }
    const ResultPtr select(CParams().pExec(
        m_connection.get(), "SELECT coalesce(max(version), 0)::bigint FROM kestrel_schema"));
    if (!fgResultOk(select.get(), error) || PQntuples(select.get()) != 1) {
        return rollback();
    }
    const long long version = iIntField(select.get(), 0, 0);
    if (version > kHistorySchemaVersion) {
        error = "history schema " + std::to_string(version) + " is newer than this station's " +
                std::to_string(kHistorySchemaVersion);
        return rollback();
    }
    for (int next = static_cast<int>(version) + 1; next <= kHistorySchemaVersion; ++next) {
        for (const std::string_view statement : vecMigration(ESqlDialect::kPostgres, next)) {
            if (!fgExec(std::string(statement).c_str(), error)) {
                return rollback();
            }
        }
        const ResultPtr mark(CParams().integer(next).pExec(
            m_connection.get(), "INSERT INTO kestrel_schema VALUES ($1::integer)"));
        if (!fgResultOk(mark.get(), error) ||
            !fgExec("DELETE FROM kestrel_schema WHERE version < (SELECT max(version) FROM "
                    "kestrel_schema)",
                    error)) {
            return rollback();
        }
    }
    return fgExec("COMMIT", error) || rollback();
}

bool CPgRecordStore::fgStore(const std::vector<CDeviceRecord>& records, std::string& error) {
    if (!fgExec("BEGIN", error)) {
        return false;
    }
    bool ok = true;
    for (const CDeviceRecord& record : records) {
        const ResultPtr inserted(
            CParams()
                .text(record.m_strKey)
                .integer(record.m_llTimeMs)
                .text(record.m_strStation)
                .text(record.m_strOperator)
                .bytes(record.m_strUid)
                .text(record.m_strMac)
                .text(record.m_strAddress)
                .bytes(record.m_strVersion)
                .text(record.m_strKind)
                .text(std::string(strJobOutcomeName(record.m_eOutcome)))
                .bytes(record.m_strReason)
                .integer(record.m_llDurationMs)
                .bytes(record.m_strVersionAfter)
                .pExec(m_connection.get(),
                       "INSERT INTO records (record_key, time_ms, station, operator, uid, mac,"
                       " address, version, kind, outcome, reason, duration_ms, version_after)"
                       " VALUES ($1, $2::bigint, $3, $4, $5::bytea, $6, $7, $8::bytea, $9, $10,"
                       " $11::bytea, $12::bigint, $13::bytea)"
                       " ON CONFLICT (record_key) DO NOTHING RETURNING id"));
        ok = fgResultOk(inserted.get(), error);
        if (!ok) {
            break;
        }
        if (PQntuples(inserted.get()) == 0) {
            continue;  // stored before
        }
        const long long rowId = iIntField(inserted.get(), 0, 0);
        // All steps in one statement and all files in another: one round trip each.
        if (!record.m_steps.empty()) {
            CParams params;
            for (std::size_t i = 0; i < record.m_steps.size(); ++i) {
                const CRecordStep& step = record.m_steps[i];
                params.integer(rowId)
                    .integer(static_cast<long long>(i))
                    .text(step.m_strName)
                    .text(std::string(strJobOutcomeName(step.m_eOutcome)))
                    .bytes(step.m_strReason)
                    .integer(step.m_llMs);
            }
            const std::string sql =
                "INSERT INTO steps (record_id, seq, name, outcome, reason, ms) VALUES " +
                strValueRows(record.m_steps.size(),
                             {"bigint", "integer", "text", "text", "bytea", "bigint"});
            const ResultPtr result(params.pExec(m_connection.get(), sql.c_str()));
            ok = fgResultOk(result.get(), error);
        }
        if (ok && !record.m_files.empty()) {
            CParams params;
            for (std::size_t i = 0; i < record.m_files.size(); ++i) {
                const CRecordFile& file = record.m_files[i];
                params.integer(rowId)
                    .integer(static_cast<long long>(i))
                    .bytes(file.m_strName)
                    .text(file.m_strType)
                    .integer(file.m_llBytes)
                    .text(file.m_strSha256);
            }
            const std::string sql =
                "INSERT INTO files (record_id, seq, name, type, bytes, sha256) VALUES " +
                strValueRows(record.m_files.size(),
                             {"bigint", "integer", "bytea", "text", "bigint", "text"});
            const ResultPtr result(params.pExec(m_connection.get(), sql.c_str()));
            ok = fgResultOk(result.get(), error);
        }
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

bool CPgRecordStore::fgReadDetails(const std::vector<long long>& rowIds,
                                   std::vector<CDeviceRecord>& records, std::string& error) {
    if (rowIds.empty()) {
        return true;
    }
    // The row ids, numbers the server gave, as one array parameter.
    std::string ids = "{";
    std::map<long long, std::size_t> recordOfId;
    for (std::size_t i = 0; i < rowIds.size(); ++i) {
        ids += (i == 0 ? "" : ",") + std::to_string(rowIds[i]);
        recordOfId[rowIds[i]] = i;
    }
    ids += "}";
    const ResultPtr steps(
        CParams().text(ids).pExec(m_connection.get(),
                                  "SELECT record_id, name, outcome, reason, ms FROM steps"
                                  " WHERE record_id = ANY($1::bigint[]) ORDER BY record_id, seq"));
    if (!fgResultOk(steps.get(), error)) {
        return false;
    }
    for (int row = 0; row < PQntuples(steps.get()); ++row) {
        const PGresult* r = steps.get();
        records[recordOfId.at(iIntField(r, row, 0))].m_steps.push_back(
            {strField(r, row, 1), eOutcomeField(r, row, 2), strField(r, row, 3),
             iIntField(r, row, 4)});
    }
    const ResultPtr files(
        CParams().text(ids).pExec(m_connection.get(),
                                  "SELECT record_id, name, type, bytes, sha256 FROM files"
                                  " WHERE record_id = ANY($1::bigint[]) ORDER BY record_id, seq"));
    if (!fgResultOk(files.get(), error)) {
        return false;
    }
    for (int row = 0; row < PQntuples(files.get()); ++row) {
        const PGresult* r = files.get();
        records[recordOfId.at(iIntField(r, row, 0))].m_files.push_back(
            {strField(r, row, 1), strField(r, row, 2), iIntField(r, row, 3), strField(r, row, 4)});
    }
    return true;
}

bool CPgRecordStore::fgQuery(const CHistoryQuery& query, std::vector<CDeviceRecord>& records,
                             std::string& error) {
    // The key's column comes from this fixed table; every value is a parameter.
    CParams params;
    const char* keyCondition = "";
    int next = 1;
    switch (query.m_eKey) {
        case EHistoryKey::kNone:
            break;
        case EHistoryKey::kUid:
            keyCondition = "uid = $1::bytea AND ";
            params.bytes(query.m_strKey);
            next = 2;
            break;
        case EHistoryKey::kMac:
            keyCondition = "mac = $1 AND ";
            params.text(query.m_strKey);
            next = 2;
            break;
        case EHistoryKey::kAddress:
            keyCondition = "address = $1 AND ";
            params.text(query.m_strKey);
            next = 2;
            break;
    }
    const auto placeholder = [&next](const char* type) {
        return "$" + std::to_string(next++) + "::" + type;
    };
    const std::string since = placeholder("bigint");
    const std::string kind = placeholder("text");
    const std::string kindAgain = placeholder("text");
    const std::string limit = placeholder("bigint");
    const std::string sql =
        std::string(kRecordColumns) + "WHERE " + keyCondition + "time_ms >= " + since + " AND (" +
        kind + " = '' OR kind = " + kindAgain + ") ORDER BY time_ms DESC, id DESC LIMIT " + limit;
    params.integer(query.m_llSinceMs)
        .text(query.m_strKind)
        .text(query.m_strKind)
        .integer(query.m_iLimit);
    const ResultPtr result(params.pExec(m_connection.get(), sql.c_str()));
    if (!fgResultOk(result.get(), error)) {
        return false;
    }
    std::vector<CDeviceRecord> found;
    std::vector<long long> rowIds;
    for (int row = 0; row < PQntuples(result.get()); ++row) {
        const PGresult* r = result.get();
        CDeviceRecord record;
        record.m_strKey = strField(r, row, 1);
        record.m_llTimeMs = iIntField(r, row, 2);
        record.m_strStation = strField(r, row, 3);
        record.m_strOperator = strField(r, row, 4);
        record.m_strUid = strField(r, row, 5);
        record.m_strMac = strField(r, row, 6);
        record.m_strAddress = strField(r, row, 7);
        record.m_strVersion = strField(r, row, 8);
        record.m_strKind = strField(r, row, 9);
        record.m_eOutcome = eOutcomeField(r, row, 10);
        record.m_strReason = strField(r, row, 11);
        record.m_llDurationMs = iIntField(r, row, 12);
        record.m_strVersionAfter = strField(r, row, 13);
        rowIds.push_back(iIntField(r, row, 0));
        found.push_back(std::move(record));
    }
    if (!fgReadDetails(rowIds, found, error)) {
        return false;
    }
    records.insert(records.end(), std::make_move_iterator(found.begin()),
                   std::make_move_iterator(found.end()));
    return true;
}
