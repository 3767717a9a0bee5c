#pragma once

#include <string>
#include <vector>

#include "support/netns.h"

// Faults put on the traffic of a network namespace the test made: packet filter rules
// inside it (the kernel's random and nth-packet matches, TCP resets) and programs
// killed at a chosen moment. Everything in the namespace goes through its loopback,
// so one rule on the input chain sees every packet once.

// True when the packet filter tool is there to use (and namespaces are).
bool fgCanImpair();
std::string strImpairSkipReason();

// Adds one rule to the namespace's input chain; throws when it is refused.
void vImpair(const CNetns& ns, const std::string& rule);

// A rule that drops each UDP datagram with the probability given (0 to 1).
std::string strDropUdp(double probability);
// A rule that answers the every-th TCP segment sent to port with a reset.
std::string strResetTcpEvery(int port, int every);

// A program in the namespace whose standard output is kept, killed when asked.
class CWatchedChild {
  public:
    CWatchedChild(const CNetns& ns, const std::vector<std::string>& argv,
                  const std::string& readyText, int timeoutMs);
    ~CWatchedChild();
    CWatchedChild(const CWatchedChild&) = delete;
    CWatchedChild& operator=(const CWatchedChild&) = delete;

    bool fgReady() const { return m_spawned.m_fgReady; }
    int iPid() const { return m_spawned.m_iPid; }
    // Sends the signal (SIGKILL: dies at once, as when it crashes).
    void vSignal(int signal) const;
    // Stops it (SIGTERM unless it already ended), waits for it and returns what it
    // printed after the ready line.
    std::string strFinish();

  private:
    CSpawned m_spawned;
    bool m_fgFinished = false;
};
