#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/worker.h"
#include "support/capture_stderr.h"
#include "support/wait_until.h"

namespace {

// The names of this process's threads, as the system shows them.
std::vector<std::string> vecThreadNames() {
    std::vector<std::string> names;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        names.push_back(name);
    }
    return names;
}

bool fgHasThread(const std::string& name) {
    for (const std::string& shown : vecThreadNames()) {
        if (shown == name) {
            return true;
        }
    }
    return false;
}

}  // namespace

// Blocks until the owner asks the body to stop.
void vWaitForStop(const std::stop_token& stop) {
    std::mutex lock;
    std::condition_variable_any asked;
    std::unique_lock guard(lock);
    asked.wait(guard, stop, [] { return false; });
}

TEST(Worker, RunsNamedAndEndsWhenStopped) {
    struct CRow {
        const char* m_pszGiven;
        const char* m_pszShown;
    };
    for (const CRow& row :
         {CRow{"lan-recv", "lan-recv"}, CRow{"a-name-longer-than-fifteen", "a-name-longer-t"}}) {
        CWorker worker;
        std::atomic<bool> entered{false};
        const auto started = worker.sStart(row.m_pszGiven, [&entered](std::stop_token stop) {
            entered = true;
            vWaitForStop(stop);
        });
        ASSERT_TRUE(started) << started.error().m_strReason;
        EXPECT_EQ(worker.strName(), row.m_pszShown);
        ASSERT_TRUE(fgWaitUntil([&] { return entered && fgHasThread(row.m_pszShown); }))
            << row.m_pszGiven;
        EXPECT_TRUE(worker.fgRunning());
        EXPECT_TRUE(worker.fgStop(20000));
        EXPECT_FALSE(worker.fgRunning());
        // The system drops a thread's entry a moment after the join.
        EXPECT_TRUE(fgWaitUntil([&] { return !fgHasThread(row.m_pszShown); }));
    }
}

TEST(Worker, SaysWhenAStopTookLongerThanAllowed) {
    CCaptureStderr capture;
    std::atomic<bool> mayFinish{false};
    std::atomic<bool> finished{false};
    CWorker worker;
    // Ignores the stop request until the owner has said it is late, so the owner's limit
    // is passed whatever the machine's load.
    ASSERT_TRUE(worker.sStart("slow-stop", [&](std::stop_token stop) {
        vWaitForStop(stop);
        fgWaitUntil([&] { return mayFinish.load(); });
        finished = true;
    }));
    std::jthread releaser([&] {
        fgWaitUntil([&] {
            return capture.strSoFar().find("slow-stop still busy after 1 ms") != std::string::npos;
        });
        mayFinish = true;
    });
    EXPECT_FALSE(worker.fgStop(1));
    // It was still waited for: the body's state is never left in use.
    EXPECT_TRUE(finished);
    EXPECT_FALSE(worker.fgRunning());
}

TEST(Worker, StartingAgainStopsTheRunningBodyFirst) {
    // Declared before the worker, so the body still running at the end outlives nothing.
    std::atomic<int> running{0};
    CWorker worker;
    const auto body = [&running](std::stop_token stop) {
        ++running;
        vWaitForStop(stop);
        --running;
    };
    ASSERT_TRUE(worker.sStart("first", body));
    ASSERT_TRUE(fgWaitUntil([&] { return running == 1; }));
    ASSERT_TRUE(worker.sStart("second", body));
    ASSERT_TRUE(fgWaitUntil([&] { return fgHasThread("second"); }));
    EXPECT_EQ(running, 1);
    EXPECT_TRUE(fgWaitUntil([] { return !fgHasThread("first"); }));
}

// In a child process: a system that refuses threads (the process limit at zero for an
// ordinary user). 0 when the start gave an error result naming the thread and nothing ran.
int iStartWithoutThreads() {
    // Root's own limit is not enforced: become an ordinary user first.
    if (getuid() == 0 && setuid(65534) != 0) {
        return 10;
    }
    const rlimit none{0, 0};
    if (setrlimit(RLIMIT_NPROC, &none) != 0) {
        return 11;
    }
    CWorker worker;
    std::atomic<bool> ran{false};
    const auto started = worker.sStart("limited", [&ran](std::stop_token) { ran = true; });
    const bool reported =
        !started && started.error().m_strReason.find("limited") != std::string::npos;
    return reported && !worker.fgRunning() && worker.fgStop(1000) && !ran ? 0 : 12;
}

TEST(Worker, ARefusedThreadIsAnErrorNotATermination) {
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(_exit(iStartWithoutThreads()), ::testing::ExitedWithCode(0), "");
}
