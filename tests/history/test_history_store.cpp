// The station's history with a shared server: records are kept locally first, wait
// while the server is down and arrive exactly once when it is back; two stations
// write to one server at once; a writer killed mid-run leaves a readable file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <set>
#include <thread>

#include "history/history_store.h"
#include "history/pg_record_store.h"
#include "history/sqlite_record_store.h"
#include "history_test_support.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace {

class HistoryWithServer : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string reason;
        m_server = psTestServer(reason);
        if (m_server == nullptr) {
            GTEST_SKIP() << reason;
        }
    }
    void TearDown() override {
        if (m_server != nullptr) {
            m_server->fgStart();  // for the next test, whatever this one left
        }
    }

    // Every record of the server's database, newest first.
    std::vector<CDeviceRecord> vecOnServer(const std::string& url) {
        std::string error;
        auto server = CPgRecordStore::psOpen(url, error);
        std::vector<CDeviceRecord> records;
        EXPECT_TRUE(server) << error;
        CHistoryQuery all;
        all.m_iLimit = 1000000;
        EXPECT_TRUE(server && server->fgQuery(all, records, error)) << error;
        return records;
    }

    CPgServer* m_server = nullptr;
    CTempDir m_dir;
};

TEST_F(HistoryWithServer, RecordsWaitWhileTheServerIsDownAndArriveOnce) {
    const std::string url = m_server->strCreateDatabase("outbox");
    std::string error;
    auto history = CHistoryStore::psOpen({m_dir.file("station.sqlite"), url}, error);
    ASSERT_TRUE(history) << error;
    ASSERT_TRUE(history->fgRecord({sTestRecord("UID-EARLY", 1000)}, error)) << error;
    const CForwardResult first = history->sForward();
    EXPECT_EQ(1, first.m_llForwarded) << first.m_strError;

    ASSERT_TRUE(m_server->fgStop());
    const auto before = std::chrono::steady_clock::now();
    const CDeviceRecord late = sTestRecord("UID-LATE", 2000);
    ASSERT_TRUE(history->fgRecord({late, sTestRecord("UID-LATE", 3000)}, error)) << error;
    const CForwardResult down = history->sForward();
    EXPECT_EQ(0, down.m_llForwarded);
    EXPECT_EQ(2, down.m_llWaiting);
    EXPECT_FALSE(down.m_strError.empty());
    // A job never waits long for a server that is down.
    EXPECT_LT(std::chrono::steady_clock::now() - before,
              std::chrono::seconds(CPgRecordStore::kConnectTimeoutS + 5));
    std::vector<CDeviceRecord> local;
    EHistorySource source = EHistorySource::kServer;
    ASSERT_TRUE(history->fgQuery(sQueryForKey("UID-LATE"), local, source, error)) << error;
    EXPECT_EQ(EHistorySource::kLocal, source);
    EXPECT_EQ(2U, local.size());

    ASSERT_TRUE(m_server->fgStart());
    // A station killed after the server took a record but before it cleared its
    // outbox sends that record again: the server still keeps it once.
    {
        auto direct = CPgRecordStore::psOpen(url, error);
        ASSERT_TRUE(direct) << error;
        ASSERT_TRUE(direct->fgStore({late}, error)) << error;
    }
    const CForwardResult up = history->sForward();
    EXPECT_TRUE(up.m_strError.empty()) << up.m_strError;
    EXPECT_EQ(2, up.m_llForwarded);
    EXPECT_EQ(0, up.m_llWaiting);
    EXPECT_EQ(0, history->sForward().m_llForwarded);

    const std::vector<CDeviceRecord> onServer = vecOnServer(url);
    ASSERT_EQ(3U, onServer.size());
    EXPECT_EQ("UID-LATE", onServer[0].m_strUid);
    EXPECT_EQ(late, onServer[1]);
    EXPECT_EQ("UID-EARLY", onServer[2].m_strUid);
    ASSERT_TRUE(history->fgQuery(sQueryForKey("UID-LATE"), local, source, error)) << error;
    EXPECT_EQ(EHistorySource::kServer, source);
}

TEST_F(HistoryWithServer, TwoStationsWriteToOneServerAtOnce) {
    // A fresh database: both stations also create its schema at the same moment.
    const std::string url = m_server->strCreateDatabase("two_stations");
    constexpr int kJobs = 60;
    const auto station = [this, &url](const std::string& name) {
        std::string error;
        auto history = CHistoryStore::psOpen({m_dir.file(name + ".sqlite"), url}, error);
        if (!history) {
            return error;
        }
        for (int job = 0; job < kJobs; ++job) {
            CDeviceRecord record = sTestRecord(name + "-" + std::to_string(job), job);
            record.m_strStation = name;
            if (!history->fgRecord({record}, error)) {
                return error;
            }
            if (job % 10 == 9) {
                history->sForward();
            }
        }
        const CForwardResult last = history->sForward();
        return last.m_llWaiting == 0 ? std::string() : "left waiting: " + last.m_strError;
    };
    std::string errorA;
    std::string errorB;
    {
        std::jthread a([&] { errorA = station("bench-a"); });
        std::jthread b([&] { errorB = station("bench-b"); });
    }
    EXPECT_EQ("", errorA);
    EXPECT_EQ("", errorB);
    const std::vector<CDeviceRecord> records = vecOnServer(url);
    std::set<std::string> uids;
    int fromA = 0;
    for (const CDeviceRecord& record : records) {
        uids.insert(record.m_strUid);
        fromA += record.m_strStation == "bench-a" ? 1 : 0;
        EXPECT_EQ(2U, record.m_steps.size());
    }
    EXPECT_EQ(2U * kJobs, records.size());
    EXPECT_EQ(2U * kJobs, uids.size());
    EXPECT_EQ(kJobs, fromA);
}

long long iCountRecords(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    long long count = -1;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 10000);
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            count = sqlite3_column_int64(statement, 0);
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return count;
}

TEST(HistoryLocal, AKilledWriterLeavesAReadableFile) {
    CTempDir dir;
    const std::string path = dir.file("killed.sqlite");
    {
        std::string error;
        ASSERT_TRUE(CSqliteRecordStore::psOpen(path, error)) << error;
    }
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        std::string error;
        auto store = CSqliteRecordStore::psOpen(path, error);
        for (long long job = 0; store; ++job) {
            if (!store->fgStore({sTestRecord("KILLED", job)}, error)) {
                _exit(1);
            }
        }
        _exit(1);
    }
    const bool wrote =
        fgWaitUntil([&path] { return iCountRecords(path, "SELECT count(*) FROM records") >= 40; },
                    std::chrono::seconds(60));
    kill(writer, SIGKILL);
    int status = 0;
    waitpid(writer, &status, 0);
    ASSERT_TRUE(wrote) << "the writer stored records";
    ASSERT_TRUE(WIFSIGNALED(status));

    std::string error;
    auto store = CSqliteRecordStore::psOpen(path, error);
    ASSERT_TRUE(store) << error;
    CHistoryQuery all = sQueryForKey("KILLED");
    all.m_iLimit = 1000000;
    std::vector<CDeviceRecord> records;
    ASSERT_TRUE(store->fgQuery(all, records, error)) << error;
    EXPECT_GE(records.size(), 40U);
    // Every record that is there is whole: its steps and file came with it.
    for (const CDeviceRecord& record : records) {
        ASSERT_EQ(2U, record.m_steps.size());
        ASSERT_EQ(1U, record.m_files.size());
    }
    EXPECT_EQ(static_cast<long long>(records.size()), store->iOutboxCount());
    store.reset();
    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(path.c_str(), &db));
    sqlite3_stmt* check = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr));
    ASSERT_EQ(SQLITE_ROW, sqlite3_step(check));
    EXPECT_STREQ("ok", reinterpret_cast<const char*>(sqlite3_column_text(check, 0)));
    sqlite3_finalize(check);
    sqlite3_close(db);
}

}  // namespace
