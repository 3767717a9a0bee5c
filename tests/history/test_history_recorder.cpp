// The window's recorder: nothing queued is lost when it stops, and it says how many
// records wait while the server cannot be reached. Its settings file round trip.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "history/history_recorder.h"
#include "history/history_settings.h"
#include "history_test_support.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace {

TEST(HistoryRecorder, WritesEverythingQueuedAndCountsWhatWaitsForAnAbsentServer) {
    CTempDir dir;
    // A server socket folder that does not exist: refused at once.
    const CHistoryConfig config{dir.file("w.sqlite"),
                                "postgresql:///x?host=" + dir.file("none") + "&user=postgres"};
    std::mutex lock;
    CRecorderReport last;
    std::atomic<int> reports{0};
    {
        CHistoryRecorder recorder(config, [&](const CRecorderReport& report) {
            const std::lock_guard guard(lock);
            last = report;
            ++reports;
        });
        for (int job = 0; job < 50; ++job) {
            recorder.vRecord({sTestRecord("WIN", job), sTestRecord("WIN", job)});
        }
        ASSERT_TRUE(fgWaitUntil([&] {
            const std::lock_guard guard(lock);
            return last.m_llWaiting == 100;
        })) << last.m_strError;
        const std::lock_guard guard(lock);
        EXPECT_FALSE(last.m_strError.empty());
        recorder.vRecord({sTestRecord("WIN-LAST", 99)});
    }
    std::string error;
    auto store = CHistoryStore::psOpen({config.m_strLocalPath, {}}, error);
    ASSERT_TRUE(store) << error;
    CHistoryQuery all;
    all.m_iLimit = 1000;
    std::vector<CDeviceRecord> records;
    EHistorySource source = EHistorySource::kServer;
    ASSERT_TRUE(store->fgQuery(all, records, source, error)) << error;
    EXPECT_EQ(101U, records.size());
    EXPECT_EQ("WIN-LAST", records.front().m_strUid);
}

TEST(HistorySettings, ComeBackAsSavedWithoutLineBreaks) {
    CTempDir dir;
    const std::string path = dir.file(kHistorySettingsFile);
    EXPECT_TRUE(sLoadHistorySettings(path).m_dbs.empty());
    CHistorySettings settings;
    settings.m_dbs = {"sqlite:/var/lib/line.sqlite", "postgresql://line@db/factory"};
    settings.m_strStation = "bench 7\nstation=evil";
    settings.m_strOperator = "Anna = O'Neil";
    std::string error;
    ASSERT_TRUE(fgSaveHistorySettings(path, settings, error)) << error;
    const CHistorySettings loaded = sLoadHistorySettings(path);
    EXPECT_EQ(settings.m_dbs, loaded.m_dbs);
    EXPECT_EQ("bench 7station=evil", loaded.m_strStation);
    EXPECT_EQ("Anna = O'Neil", loaded.m_strOperator);
    EXPECT_FALSE(fgSaveHistorySettings(dir.file("no/such/folder/h.ini"), settings, error));
}

}  // namespace
