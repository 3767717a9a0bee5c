#include "protocol/discovery_feature.h"

#include <vector>

#include "app/dbg_print.h"
#include "app/settings.h"
#include "protocol/cmd_header.h"
#include "protocol/requests.h"
#include "protocol/station.h"

namespace {
// Items taken from the queue between two looks at the clock.
constexpr int kDrainBatch = 32;
}  // namespace

CDiscoveryFeature::CDiscoveryFeature(CStation& station) : m_station(station) {
    station.router().vRoute(kReplyDiscovery, *this);
}

int CDiscoveryFeature::iOnReply(const CReplyReader& reply, std::uint32_t senderNet) {
    if (iQueueDiscoveryReply(m_discoveryQueue, reply.bytes(), senderNet) == 0) {
        m_station.view().vOnDiscoveryQueued();
    }
    return kNoResult;
}

void CDiscoveryFeature::vRefresh() {
    CDevRegistry& registry = m_station.registry();
    registry.vSetListSelect(-1);
    registry.vClearDevInfo();
    registry.iDevPoolDelete(-1, true);
    m_station.sender().vSearchDev();
    registry.vSetFilterOff();
    std::lock_guard guard(m_lock);
    m_iSortCountdown = kSortCountdownTicks;
}

void CDiscoveryFeature::vSearch() {
    m_station.sender().vSearchDev();
}

int CDiscoveryFeature::iDrainDiscoveryQueue(std::chrono::microseconds budget) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<CDevInfo> records;
    records.reserve(kDrainBatch);
    do {
        records.clear();
        if (iTakeDiscoveryRecords(m_discoveryQueue, kDrainBatch, records) == 0) {
            break;
        }
        for (CDevInfo& devInfo : records) {
            const CDevAddResult added = m_station.registry().sAddOrUpdateDevice(std::move(devInfo));
            // A new device puts the sort off while the countdown of a refresh runs;
            // after the sort, a late device is appended and the operator's order stays.
            if (added.m_eKind == EDevAdd::kAppended || added.m_eKind == EDevAdd::kHidden) {
                std::lock_guard guard(m_lock);
                if (m_iSortCountdown > 0) {
                    m_iSortCountdown = kSortCountdownTicks;
                }
            }
        }
    } while (std::chrono::steady_clock::now() - start < budget);
    return m_discoveryQueue.iCount();
}

bool CDiscoveryFeature::fgSortTick() {
    {
        std::lock_guard guard(m_lock);
        if (m_iSortCountdown <= 0) {
            return false;
        }
        if (--m_iSortCountdown > 0) {
            return true;
        }
    }
    const std::uint32_t reselect =
        CSettings::instance().m_fgReselect ? m_station.uiLastSelectAddr() : 0;
    m_station.registry().iSortByUid(reselect);
    return false;
}

void CDiscoveryFeature::vParseIpcToNvrInfo(std::span<const std::uint8_t> datagram,
                                           std::uint32_t senderNet) {
    const char* name = "CclientDlg::vParseIpcToNvrInfo";
    if (datagram.size() < kAnnounceMinBytes) {
        vDbgPrint("camkit:%s, %d=>len err\r\n", name, __LINE__);
        return;
    }
    if (datagram[0] != kAnnounceStartByte) {
        vDbgPrint("camkit:%s, %d=>start byte err\r\n", name, __LINE__);
        return;
    }
    const std::uint32_t type = uiReadLe32(datagram, kAnnounceOffType);
    const bool loginRequest = type == 7 || type == 10 || type == 93 || type == 94;
    if (!loginRequest || uiReadLe32(datagram, kAnnounceOffLength) < kAnnounceMinLength) {
        return;
    }
    vDbgPrint("camkit:%s, %d=>dev %s req login\r\n", name, __LINE__, strIpText(senderNet).c_str());
    m_station.sender().iSendUdpToDev(senderNet, bufBuildSearch());
}
