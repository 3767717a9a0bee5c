#include "support/impair.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

bool fgCanImpair() {
    return fgCanUseNetns() && std::system("iptables --version >/dev/null 2>&1") == 0;
}

std::string strImpairSkipReason() {
    return fgCanUseNetns() ? "iptables is not installed (scripts/install-deps)"
                           : strNetnsSkipReason();
}

void vImpair(const CNetns& ns, const std::string& rule) {
    const std::string command = "ip netns exec " + ns.name() + " iptables -A INPUT " + rule;
    if (std::system(command.c_str()) != 0) {
        throw std::runtime_error("refused: " + command);
    }
}

std::string strDropUdp(double probability) {
    char rule[128];
    std::snprintf(rule, sizeof rule, "-p udp -m statistic --mode random --probability %.3f -j DROP",
                  probability);
    return rule;
}

std::string strResetTcpEvery(int port, int every) {
    return "-p tcp --dport " + std::to_string(port) + " -m statistic --mode nth --every " +
           std::to_string(every) + " --packet " + std::to_string(every - 1) +
           " -j REJECT --reject-with tcp-reset";
}

CWatchedChild::CWatchedChild(const CNetns& ns, const std::vector<std::string>& argv,
                             const std::string& readyText, int timeoutMs)
    : m_spawned(sSpawnInNetnsUntil(ns, argv, readyText, timeoutMs)) {}

CWatchedChild::~CWatchedChild() {
    strFinish();
}

void CWatchedChild::vSignal(int signal) const {
    if (m_spawned.m_iPid > 0 && !m_fgFinished) {
        ::kill(m_spawned.m_iPid, signal);
    }
}

std::string CWatchedChild::strFinish() {
    if (m_fgFinished || m_spawned.m_iPid <= 0) {
        return {};
    }
    m_fgFinished = true;
    ::kill(m_spawned.m_iPid, SIGTERM);
    int status = 0;
    ::waitpid(m_spawned.m_iPid, &status, 0);
    std::string printed;
    char chunk[4096];
    ssize_t got = 0;
    while ((got = ::read(m_spawned.m_iStdoutFd, chunk, sizeof chunk)) > 0) {
        printed.append(chunk, static_cast<std::size_t>(got));
    }
    ::close(m_spawned.m_iStdoutFd);
    return printed;
}
