// The kestrel-devsim program as scripts use it: exit codes, the ready line, signals.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "station_probe.h"

namespace {

const std::string kProgram = KESTREL_DEVSIM_PROGRAM;

// The program running with its standard output on a pipe; killed if still running
// when destroyed.
class CDevSimProcess {
  public:
    explicit CDevSimProcess(const std::vector<std::string>& args) {
        int pipeFds[2] = {-1, -1};
        if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
            return;
        }
        m_iOut = pipeFds[0];
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> argv{kProgram};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> pointers;
        for (std::string& arg : argv) {
            pointers.push_back(arg.data());
        }
        pointers.push_back(nullptr);
        if (posix_spawn(&m_pid, kProgram.c_str(), &actions, nullptr, pointers.data(), environ) !=
            0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
    }

    ~CDevSimProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_iOut >= 0) {
            ::close(m_iOut);
        }
    }
    CDevSimProcess(const CDevSimProcess&) = delete;
    CDevSimProcess& operator=(const CDevSimProcess&) = delete;

    // The next line of output, or an empty text after waitMs without one.
    std::string strLine(int waitMs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        for (;;) {
            const std::size_t end = m_buffer.find('\n');
            if (end != std::string::npos) {
                std::string line = m_buffer.substr(0, end);
                m_buffer.erase(0, end + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd entry{m_iOut, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
                return {};
            }
            char chunk[512];
            const ssize_t got = ::read(m_iOut, chunk, sizeof chunk);
            if (got <= 0) {
                return {};
            }
            m_buffer.append(chunk, static_cast<std::size_t>(got));
        }
    }

    void vSignal(int signal) const { ::kill(m_pid, signal); }

    // Exit status, or -1 when it did not exit normally.
    int iWait() {
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t m_pid = -1;
    int m_iOut = -1;
    std::string m_buffer;
};

}  // namespace

TEST(DevSimProgram, UsageErrorsExitWithTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--fleet", "0"},
        {"--addr", "10.0.0.1"},
        {"--fleet", "2", "--behave", "5:silent"},
        {"--nonsense"},
    };
    for (const auto& args : cases) {
        CDevSimProcess process(args);
        EXPECT_EQ(process.iWait(), 2) << (args.empty() ? "(none)" : args[0]);
    }
    CDevSimProcess help({"--help"});
    EXPECT_EQ(help.strLine(2000), "Usage: kestrel-devsim [options]");
    EXPECT_EQ(help.iWait(), 0);
}

TEST(DevSimProgram, RunsUntilSignalled) {
    if (!fgCanUseNetns()) {
        GTEST_SKIP() << strNetnsSkipReason();
    }
    CNetns ns("kt-dsp");
    CNetnsScope scope(ns);
    ASSERT_TRUE(scope.fgEntered());
    CDevSimProcess process({"--fleet", "3", "--list", "--behave", "1:silent"});
    EXPECT_EQ(process.strLine(5000), "devsim: device 0 127.0.0.2 KSIM00000000001DEVAA");
    EXPECT_EQ(process.strLine(1000), "devsim: device 1 127.0.0.3 KSIM00000000002DEVAA");
    EXPECT_EQ(process.strLine(1000), "devsim: device 2 127.0.0.4 KSIM00000000003DEVAA");
    ASSERT_EQ(process.strLine(1000), "devsim: 3 devices ready");

    CStationProbe probe;
    ASSERT_TRUE(probe.fgReady());
    probe.vSearch();
    EXPECT_EQ(probe.vecCollect(3, 300, true).size(), 2U);

    // A second simulator cannot take the same addresses.
    CDevSimProcess second({"--fleet", "1"});
    EXPECT_EQ(second.iWait(), 1);

    process.vSignal(SIGUSR1);
    EXPECT_EQ(process.strLine(2000), "devsim: 3 announcements sent");
    process.vSignal(SIGTERM);
    EXPECT_EQ(process.strLine(2000), "devsim: stopped");
    EXPECT_EQ(process.iWait(), 0);
}
