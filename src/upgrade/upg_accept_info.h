#pragma once

// The upgrade record of one device: the files of its transfer, the connection and the
// threads that work on it, and the shared state by which those threads stop each other.
// Records live in CUpgrader's table, keyed by the device's address text.

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/socket_layer.h"
#include "upgrade/upg_file_type.h"
#include "upgrade/upgrade_view.h"

class CUpgAcceptInfo {
  public:
    // Values of m_iState.
    static constexpr int kStateRunning = 0;
    static constexpr int kStateStop = 1;     // destruction: every thread stops
    static constexpr int kStateSent = 2;     // the sender has finished
    static constexpr int kStateFailed = -1;  // the sender has failed

    // A record for the files (at most kUpgFilesMax are taken).
    CUpgAcceptInfo(std::string addressText, std::uint32_t addrNet,
                   const std::vector<CUpgFile>& files);
    // Stops and joins every thread of the record (state 1, connect stop requested) and
    // closes the connection. Never run on one of the record's own threads.
    ~CUpgAcceptInfo();
    CUpgAcceptInfo(const CUpgAcceptInfo&) = delete;
    CUpgAcceptInfo& operator=(const CUpgAcceptInfo&) = delete;

    // Appends files after the record's own. 0, or -1 (diagnostic "ns err", nothing
    // appended) when the record would then hold more than kUpgFilesMax.
    int iAddUpgInfo(const std::vector<CUpgFile>& files);

    // Sets the state (when it is still kStateRunning, unless forced) and wakes the
    // threads that wait for it. The state kept afterwards.
    int iSetState(int state, bool onlyFromRunning);
    // Wakes the sender's wait for the device's answer.
    void vNotifyAnswer();

    // Fixed once the record is made (files only grow until the transfer connects, under
    // the owner's table lock; afterwards they are read-only).
    const std::string m_strAddress;
    const std::uint32_t m_uiDevAddr;  // network byte order
    int m_iFileCount = 0;
    std::array<std::string, kUpgFilesMax> m_strPaths;
    std::array<std::string, kUpgFilesMax> m_strNames;
    std::array<std::uint32_t, kUpgFilesMax> m_uiTypes{};

    // Set once under the owner's table lock when a connection is bound.
    bool m_fgBound = false;
    bool m_fgByListener = false;  // the device opened the connection
    CSocket m_socket;
    std::chrono::steady_clock::time_point m_started;

    std::atomic<int> m_iState{kStateRunning};
    std::atomic<int> m_iFilesSent{0};
    std::atomic<std::uint64_t> m_ulBytesSent{0};
    std::atomic<std::uint64_t> m_ulBytesTotal{0};
    std::atomic<int> m_iAnswers{0};
    std::atomic<bool> m_fgDeviceRefused{false};
    std::atomic<bool> m_fgDeviceConfirmed{false};
    std::atomic<bool> m_fgPeerClosed{false};
    // Written by the sender before it sets kStateFailed.
    std::atomic<EUpgReason> m_eFailReason{EUpgReason::kNone};
    // Set by the record's last thread just before it returns: joining is then immediate.
    std::atomic<bool> m_fgFinished{false};

    std::jthread m_connectThread;
    std::jthread m_senderThread;
    std::jthread m_receiverThread;

    // The sender's wait for the answer is woken through these.
    std::mutex m_waitLock;
    std::condition_variable m_waitCv;
};
