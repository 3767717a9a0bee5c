// A burst of discovery replies, as a search on a bench of a thousand devices brings:
// all of them arrive on the receive thread before the UI thread gets to drain once.
// Compares how many become device records with the station's queue (deep, drained
// until empty) against the old hand-over (200 items, one batch of 30 per reply
// tick), and times the drain. Prints the share found and the ratio.
#include <arpa/inet.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "protocol/cmd_header.h"
#include "protocol/discovery_queue.h"
#include "protocol/station.h"

namespace {

constexpr int kDevices = 1000;

class CNullSender final : public IUdpSender {
  public:
    int iSendUdpToDev(std::uint32_t, std::span<const std::uint8_t>) override { return 0; }
    bool fgSendUdpByIpStr(const std::string&, std::uint16_t, std::span<const std::uint8_t>,
                          bool) override {
        return true;
    }
    void vSearchDev() override {}
};

class CQueuedView final : public IStationView {
  public:
    void vOnDiscoveryQueued() override { ++m_iQueued; }
    int m_iQueued = 0;
};

std::vector<std::uint8_t> bufReply(int device) {
    std::vector<std::uint8_t> reply(kDiscoveryReplyBytes, 0);
    reply[0] = kCmdStartByte;
    reply[1] = kReplyDiscovery;
    const std::string uid = "KSTL" + std::to_string(1000000000000000 + device);
    std::copy(uid.begin(), uid.end(), reply.begin() + 164);
    return reply;
}

std::uint32_t uiAddr(int device) {
    return htonl(0x7F000002U + static_cast<std::uint32_t>(device));
}

}  // namespace

int main() {
    // The old hand-over writes one line per dropped reply; keep the report readable.
    setenv("KESTREL_LOG", "/dev/null", 0);
    std::vector<std::vector<std::uint8_t>> replies;
    for (int device = 0; device < kDevices; ++device) {
        replies.push_back(bufReply(device));
    }

    // Old hand-over: a 200-item queue; each reply restarts a one-shot tick that takes
    // at most 30 items, and the ticks only run once the burst has been received.
    CQueBuffer oldQueue(200);
    for (int device = 0; device < kDevices; ++device) {
        iQueueDiscoveryReply(oldQueue, replies[static_cast<size_t>(device)], uiAddr(device));
    }
    std::vector<CDevInfo> oldRecords;
    constexpr int kOldItemsPerTick = 30;
    iTakeDiscoveryRecords(oldQueue, kOldItemsPerTick, oldRecords);

    // The station: the dispatcher queues, the 20 ms timer drains until empty.
    CNullSender sender;
    CQueuedView view;
    CStation station(sender, view);
    const auto start = std::chrono::steady_clock::now();
    for (int device = 0; device < kDevices; ++device) {
        station.vParseLanInfo(replies[static_cast<size_t>(device)], uiAddr(device));
    }
    const auto received = std::chrono::steady_clock::now();
    int ticks = 0;
    do {
        ++ticks;
    } while (station.discovery().iDrainDiscoveryQueue() > 0);
    const auto drained = std::chrono::steady_clock::now();
    const int found = station.registry().iRowCount();

    const auto us = [](auto d) {
        return std::chrono::duration_cast<std::chrono::microseconds>(d).count();
    };
    std::printf("discovery burst of %d replies\n", kDevices);
    std::printf("  old hand-over (200 queued, one tick of 30): %zu records (%.1f%%)\n",
                oldRecords.size(), 100.0 * static_cast<double>(oldRecords.size()) / kDevices);
    std::printf("  station (deep queue, drained until empty):  %d records (%.1f%%) in %d ticks\n",
                found, 100.0 * found / kDevices, ticks);
    std::printf("  receive-thread work %lld us (%.2f us per reply), drain %lld us\n",
                static_cast<long long>(us(received - start)),
                static_cast<double>(us(received - start)) / kDevices,
                static_cast<long long>(us(drained - received)));
    std::printf("  ratio found station/old: %.1f\n",
                oldRecords.empty()
                    ? 0.0
                    : static_cast<double>(found) / static_cast<double>(oldRecords.size()));
    return found == kDevices ? 0 : 1;
}
