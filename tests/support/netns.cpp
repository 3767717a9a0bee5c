#include "support/netns.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {

std::atomic<int> g_counter{0};

void vRun(const std::string& command) {
    const std::string quiet = command + " >/dev/null 2>&1";
    if (std::system(quiet.c_str()) != 0) {
        throw std::runtime_error("command failed: " + command);
    }
}

void vEnter(const CNetns& ns) {
    const std::string path = "/var/run/netns/" + ns.name();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::setns(fd, CLONE_NEWNET) != 0) {
        std::_Exit(99);
    }
    ::close(fd);
}

// In a child process: enters the namespace and runs argv; never returns.
[[noreturn]] void vExecInNetns(const CNetns& ns, const std::vector<std::string>& argv) {
    vEnter(ns);
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));  // NOLINT: execv's signature
    }
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    std::_Exit(127);
}

}  // namespace

CNetns::CNetns(const std::string& prefix)
    : m_name(prefix + "-" + std::to_string(::getpid()) + "-" + std::to_string(g_counter++)) {
    vRun("ip netns add " + m_name);
    vIp("link set lo up");
}

CNetns::~CNetns() {
    std::system(("ip netns del " + m_name + " >/dev/null 2>&1").c_str());
}

void CNetns::vIp(const std::string& args) const {
    vRun("ip -n " + m_name + " " + args);
}

bool fgCanUseNetns() {
    return ::geteuid() == 0 && std::system("ip netns list >/dev/null 2>&1") == 0;
}

std::string strNetnsSkipReason() {
    return "needs root and iproute2 to create network namespaces; run the suite as root";
}

void vVethPair(const CNetns& a, const std::string& addressA, const CNetns& b,
               const std::string& addressB) {
    static std::atomic<int> pairs{0};
    const std::string base =
        "kv" + std::to_string(::getpid() % 100000) + "x" + std::to_string(pairs++);
    const std::string endA = base + "a";
    const std::string endB = base + "b";
    vRun("ip link add " + endA + " netns " + a.name() + " type veth peer name " + endB + " netns " +
         b.name());
    a.vIp("addr add " + addressA + " dev " + endA);
    b.vIp("addr add " + addressB + " dev " + endB);
    a.vIp("link set " + endA + " up");
    b.vIp("link set " + endB + " up");
}

int iRunInNetns(const CNetns& ns, const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child < 0) {
        return -1;
    }
    if (child == 0) {
        vEnter(ns);
        std::_Exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) {
        return 100 + WTERMSIG(status);
    }
    return WEXITSTATUS(status);
}

CSpawned sSpawnInNetnsUntil(const CNetns& ns, const std::vector<std::string>& argv,
                            const std::string& readyText, int timeoutMs) {
    CSpawned spawned;
    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return spawned;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        vExecInNetns(ns, argv);
    }
    ::close(fds[1]);
    spawned.m_iPid = child;
    spawned.m_iStdoutFd = fds[0];
    std::string seen;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (seen.find(readyText) == std::string::npos) {
        const auto leftMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                deadline - std::chrono::steady_clock::now())
                                .count();
        pollfd wait{fds[0], POLLIN, 0};
        if (leftMs <= 0 || ::poll(&wait, 1, static_cast<int>(leftMs)) <= 0) {
            return spawned;
        }
        char chunk[256];
        const ssize_t got = ::read(fds[0], chunk, sizeof chunk);
        if (got <= 0) {
            return spawned;
        }
        seen.append(chunk, static_cast<std::size_t>(got));
    }
    spawned.m_fgReady = true;
    return spawned;
}

int iSpawnInNetns(const CNetns& ns, const std::vector<std::string>& argv) {
    const pid_t child = ::fork();
    if (child == 0) {
        vExecInNetns(ns, argv);
    }
    return child;
}

CNetnsChild::~CNetnsChild() {
    if (m_spawned.m_iPid > 0) {
        ::kill(m_spawned.m_iPid, SIGTERM);
        int status = 0;
        ::waitpid(m_spawned.m_iPid, &status, 0);
    }
    if (m_spawned.m_iStdoutFd >= 0) {
        ::close(m_spawned.m_iStdoutFd);
    }
}

CRun sRunInNetns(const CNetns& ns, const std::string& command) {
    const std::string line = "ip netns exec " + ns.name() + " " + command + " 2>/dev/null";
    CRun run;
    std::FILE* pipe = ::popen(line.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    std::array<char, 4096> chunk{};
    std::size_t got = 0;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) {
        run.m_strOut.append(chunk.data(), got);
    }
    const int status = ::pclose(pipe);
    run.m_iExit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}
