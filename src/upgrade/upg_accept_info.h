#pragma once

// The upgrade record of one device: the files of its transfer, the connection the
// listener hands over, and the figures its worker publishes while it works. Records
// live in CUpgrader's table, keyed by the device's address text, from the command
// until the device's verdict.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "net/socket_layer.h"
#include "upgrade/upg_file_type.h"
#include "upgrade/upgrade_view.h"

class CUpgAcceptInfo {
  public:
    // A record for the files (at most kUpgFilesMax are taken).
    CUpgAcceptInfo(std::string addressText, std::uint32_t addrNet,
                   const std::vector<CUpgFile>& files);
    CUpgAcceptInfo(const CUpgAcceptInfo&) = delete;
    CUpgAcceptInfo& operator=(const CUpgAcceptInfo&) = delete;

    // Appends files after the record's own. 0, or -1 (diagnostic "ns err", nothing
    // appended) when the record would then hold more than kUpgFilesMax.
    int iAddUpgInfo(const std::vector<CUpgFile>& files);

    const std::string m_strAddress;
    const std::uint32_t m_uiDevAddr;  // network byte order

    // Guarded by the owner's table lock. Files only grow until the transfer connects
    // (m_fgBound); afterwards they are read-only.
    int m_iFileCount = 0;
    std::array<std::string, kUpgFilesMax> m_strPaths;
    std::array<std::string, kUpgFilesMax> m_strNames;
    std::array<std::uint32_t, kUpgFilesMax> m_uiTypes{};
    std::uint64_t m_uiRun = 0;  // the run the record belongs to
    bool m_fgPicked = false;    // a worker has taken the record
    bool m_fgBound = false;     // the transfer has its connection
    CSocket m_handed;           // a connection the device opened to the listener
    std::chrono::steady_clock::time_point m_started;

    // Written by the record's worker, read by anyone.
    std::atomic<bool> m_fgStop{false};  // the station is closing
    std::atomic<EUpgPhase> m_ePhase{EUpgPhase::kWaiting};
    std::atomic<std::uint64_t> m_ulBytesSent{0};
    std::atomic<std::uint64_t> m_ulBytesTotal{0};
    std::atomic<int> m_iFilesConfirmed{0};
};
