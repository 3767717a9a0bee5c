// Both record stores behind one interface, each against the real thing: an SQLite
// file and a PostgreSQL server of the test's own. Device text with quotes, SQL and
// bytes that are not UTF-8 is stored and read back unchanged.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <memory>

#include "history/history_schema.h"
#include "history/pg_record_store.h"
#include "history/sqlite_record_store.h"
#include "history_test_support.h"
#include "support/temp_dir.h"

namespace {

enum class EBackend { kSqlite, kPostgres };

class RecordStore : public ::testing::TestWithParam<EBackend> {
  protected:
    void SetUp() override {
        std::string error;
        if (GetParam() == EBackend::kSqlite) {
            m_store = CSqliteRecordStore::psOpen(m_dir.file("h.sqlite"), error);
        } else {
            std::string reason;
            CPgServer* server = psTestServer(reason);
            if (server == nullptr) {
                GTEST_SKIP() << reason;
            }
            static std::atomic<int> databases{0};
            const std::string name = "store" + std::to_string(++databases);
            m_store = CPgRecordStore::psOpen(server->strCreateDatabase(name), error);
        }
        ASSERT_TRUE(m_store) << error;
    }

    std::vector<CDeviceRecord> vecQuery(const CHistoryQuery& query) {
        std::vector<CDeviceRecord> records;
        std::string error;
        EXPECT_TRUE(m_store->fgQuery(query, records, error)) << error;
        return records;
    }

    CTempDir m_dir;
    std::unique_ptr<IRecordStore> m_store;
};

TEST_P(RecordStore, DeviceTextComesBackByteForByte) {
    CDeviceRecord record = sTestRecord(std::string("KS\"IM'\0\xff\xfe", 9), 1000);
    record.m_strStation = "line \"A\", it's";
    record.m_strOperator = "O'Brien";
    record.m_strVersion = "V1'); DROP TABLE records; --";
    record.m_strReason = "\xc3\x28 bad \x80 bytes";
    record.m_steps[1].m_strReason = std::string("\0\x01\xff", 3);
    record.m_files[0].m_strName = "fw \xe9t\xe9.bin";
    record.m_strVersionAfter = "";
    std::string error;
    ASSERT_TRUE(m_store->fgStore({record}, error)) << error;

    CHistoryQuery query;
    query.m_eKey = EHistoryKey::kUid;
    query.m_strKey = record.m_strUid;
    const std::vector<CDeviceRecord> found = vecQuery(query);
    ASSERT_EQ(1U, found.size());
    EXPECT_EQ(record, found[0]);
    // The table is still there, and a UID differing in its last byte finds nothing.
    query.m_strKey.back() = '\xfd';
    EXPECT_TRUE(vecQuery(query).empty());
}

TEST_P(RecordStore, ARecordStoredTwiceIsKeptOnce) {
    const CDeviceRecord first = sTestRecord("UID1", 1000);
    const CDeviceRecord second = sTestRecord("UID1", 2000);
    std::string error;
    ASSERT_TRUE(m_store->fgStore({first}, error)) << error;
    ASSERT_TRUE(m_store->fgStore({first, second}, error)) << error;
    ASSERT_TRUE(m_store->fgStore({second}, error)) << error;
    const std::vector<CDeviceRecord> found = vecQuery(sQueryForKey("UID1"));
    ASSERT_EQ(2U, found.size());
    EXPECT_EQ(second, found[0]);
    EXPECT_EQ(first, found[1]);
}

TEST_P(RecordStore, QueriesSelectNewestFirst) {
    std::vector<CDeviceRecord> records;
    const auto add = [&records](const std::string& uid, long long timeMs, const std::string& kind,
                                const std::string& mac, const std::string& address) {
        CDeviceRecord record = sTestRecord(uid, timeMs, kind);
        record.m_strMac = mac;
        record.m_strAddress = address;
        record.m_strReason = uid + "@" + std::to_string(timeMs);  // names the row below
        records.push_back(record);
    };
    add("A", 1000, "check", "02:00:00:00:00:0A", "10.0.0.1");
    add("A", 3000, "upgrade", "02:00:00:00:00:0A", "10.0.0.1");
    add("B", 2000, "check", "02:00:00:00:00:0B", "10.0.0.2");
    add("B", 4000, "set-uid", "02:00:00:00:00:0B", "10.0.0.1");  // B took A's address
    add("C", 5000, "check", "", "10.0.0.3");
    std::string error;
    ASSERT_TRUE(m_store->fgStore(records, error)) << error;

    const auto query = [](const std::string& key, long long since, const std::string& kind,
                          int limit) {
        CHistoryQuery q = sQueryForKey(key);
        q.m_llSinceMs = since;
        q.m_strKind = kind;
        q.m_iLimit = limit;
        return q;
    };
    const struct {
        CHistoryQuery query;
        std::vector<std::string> rows;
    } kRows[] = {
        {query("A", -1, "", 100), {"A@3000", "A@1000"}},
        {query("02:00:00:00:00:0b", -1, "", 100), {"B@4000", "B@2000"}},
        {query("10.0.0.1", -1, "", 100), {"B@4000", "A@3000", "A@1000"}},
        {query("", -1, "", 100), {"C@5000", "B@4000", "A@3000", "B@2000", "A@1000"}},
        {query("", -1, "", 2), {"C@5000", "B@4000"}},
        {query("", 3000, "", 100), {"C@5000", "B@4000", "A@3000"}},
        {query("", -1, "check", 100), {"C@5000", "B@2000", "A@1000"}},
        {query("A", 2000, "check", 100), {}},
        {query("D", -1, "", 100), {}},
    };
    for (const auto& row : kRows) {
        std::vector<std::string> names;
        for (const CDeviceRecord& record : vecQuery(row.query)) {
            names.push_back(record.m_strReason);
        }
        EXPECT_EQ(row.rows, names) << row.query.m_strKey << " since " << row.query.m_llSinceMs
                                   << " kind " << row.query.m_strKind;
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, RecordStore,
                         ::testing::Values(EBackend::kSqlite, EBackend::kPostgres),
                         [](const auto& param) {
                             return param.param == EBackend::kSqlite ? "Sqlite" : "Postgres";
                         });

// Runs SQL on a file directly, as an older or newer station would have left it.
void vExecSqlite(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(path.c_str(), &db));
    char* message = nullptr;
    EXPECT_EQ(SQLITE_OK, sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message))
        << (message != nullptr ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
}

TEST(SqliteSchema, AnOlderFileIsMigratedWithItsRecordsAndANewerOneIsRefused) {
    CTempDir dir;
    const std::string path = dir.file("old.sqlite");
    std::string sql =
        "CREATE TABLE kestrel_schema (version INTEGER NOT NULL);"
        "INSERT INTO kestrel_schema VALUES (1);";
    for (const std::string_view statement : vecMigration(ESqlDialect::kSqlite, 1)) {
        sql += std::string(statement) + ";";
    }
    sql +=
        "INSERT INTO records VALUES (1, 'k1', 5, 's', '', x'41', '', '10.0.0.1', x'', 'check',"
        " 'pass', x'', 0, x'');";
    vExecSqlite(path, sql);

    std::string error;
    auto store = CSqliteRecordStore::psOpen(path, error);
    ASSERT_TRUE(store) << error;
    std::vector<CDeviceRecord> records;
    ASSERT_TRUE(store->fgQuery(sQueryForKey("A"), records, error)) << error;
    ASSERT_EQ(1U, records.size());
    EXPECT_EQ("k1", records[0].m_strKey);
    store.reset();

    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(path.c_str(), &db));
    sqlite3_stmt* statement = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_prepare_v2(db,
                                            "SELECT (SELECT max(version) FROM kestrel_schema),"
                                            " (SELECT count(*) FROM sqlite_master WHERE name = "
                                            "'records_by_uid')",
                                            -1, &statement, nullptr));
    ASSERT_EQ(SQLITE_ROW, sqlite3_step(statement));
    EXPECT_EQ(kHistorySchemaVersion, sqlite3_column_int(statement, 0));
    EXPECT_EQ(1, sqlite3_column_int(statement, 1));
    sqlite3_finalize(statement);
    sqlite3_close(db);

    vExecSqlite(path, "INSERT INTO kestrel_schema VALUES (99)");
    EXPECT_FALSE(CSqliteRecordStore::psOpen(path, error));
    EXPECT_NE(std::string::npos, error.find("newer")) << error;
}

}  // namespace
