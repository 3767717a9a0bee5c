#pragma once

#include <functional>
#include <string>
#include <vector>

// Network namespaces for tests that need real interfaces and subnets without
// touching the machine's own network. Needs root; fgCanUseNetns tells.
//
// Typical use:
//   if (!fgCanUseNetns()) GTEST_SKIP() << strNetnsSkipReason();
//   CNetns station("kt-st"), dev("kt-dev");
//   vVethPair(station, "10.200.1.1/24", dev, "10.200.1.2/24");
//   EXPECT_EQ(0, iRunInNetns(station, [] { ...; return 0; }));
class CNetns {
  public:
    // Creates the namespace (a unique suffix is added to prefix) with loopback up.
    explicit CNetns(const std::string& prefix);
    ~CNetns();
    CNetns(const CNetns&) = delete;
    CNetns& operator=(const CNetns&) = delete;

    const std::string& name() const { return m_name; }
    // Runs `ip <args>` inside the namespace; throws on failure.
    void vIp(const std::string& args) const;

  private:
    std::string m_name;
};

bool fgCanUseNetns();
std::string strNetnsSkipReason();

// Connects two namespaces by a veth pair and gives each end its address/prefix.
void vVethPair(const CNetns& a, const std::string& addressA, const CNetns& b,
               const std::string& addressB);

// Runs body in a child process that has entered the namespace; returns body's result,
// or 100 + signal number when the child was killed. Body must not throw.
int iRunInNetns(const CNetns& ns, const std::function<int()>& body);

// Starts a child process inside the namespace running argv; returns its pid.
int iSpawnInNetns(const CNetns& ns, const std::vector<std::string>& argv);
// A child started by sSpawnInNetnsUntil.
struct CSpawned {
    int m_iPid = -1;
    int m_iStdoutFd = -1;  // read end of the child's standard output; close after it ended
    bool m_fgReady = false;
};
// As iSpawnInNetns with the child's standard output in a pipe; waits until a line
// holding readyText shows (m_fgReady), or until the child ends or timeoutMs pass.
CSpawned sSpawnInNetnsUntil(const CNetns& ns, const std::vector<std::string>& argv,
                            const std::string& readyText, int timeoutMs);

// A program started by sSpawnInNetnsUntil for the life of the object: stopped with
// SIGTERM and waited for when it goes.
class CNetnsChild {
  public:
    CNetnsChild(const CNetns& ns, const std::vector<std::string>& argv,
                const std::string& readyText, int timeoutMs)
        : m_spawned(sSpawnInNetnsUntil(ns, argv, readyText, timeoutMs)) {}
    ~CNetnsChild();
    CNetnsChild(const CNetnsChild&) = delete;
    CNetnsChild& operator=(const CNetnsChild&) = delete;

    bool fgReady() const { return m_spawned.m_fgReady; }

  private:
    CSpawned m_spawned;
};

// What a command printed on standard output and its exit code (-1: it did not end by
// itself).
struct CRun {
    int m_iExit = -1;
    std::string m_strOut;
};
// Runs a shell command line inside the namespace, standard error discarded.
CRun sRunInNetns(const CNetns& ns, const std::string& command);
