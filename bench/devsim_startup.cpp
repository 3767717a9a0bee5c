// Start-up of a thousand simulated devices, against ten as the baseline, and the time
// until all thousand have answered one search. Runs in a network namespace of its own
// when it may (root), else on this machine's loopback addresses 127.0.0.2 and up.

#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "devsim/dev_sim_fleet.h"

namespace {

using CClock = std::chrono::steady_clock;

double dMs(CClock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

bool fgPrivateLoopback() {
    return ::geteuid() == 0 && ::unshare(CLONE_NEWNET) == 0 &&
           std::system("ip link set lo up >/dev/null 2>&1") == 0;
}

// Milliseconds the fleet's start took, or a negative value on failure.
double dStartMs(devsim::CDevSimFleet& fleet) {
    std::string error;
    const auto start = CClock::now();
    if (fleet.iStart(error) != 0) {
        std::fprintf(stderr, "bench_devsim: %s\n", error.c_str());
        return -1;
    }
    return dMs(CClock::now() - start);
}

devsim::CDevSimConfig sConfig(std::size_t count) {
    std::string error;
    devsim::CDevSimConfig config;
    config.m_addresses = *devsim::sConsecutiveAddresses("127.0.0.2", count, error);
    return config;
}

// Milliseconds until `count` different devices answered one search; negative when
// some stayed silent for a second.
double dSearchMs(std::size_t count) {
    CSocket probe = CSocket::Udp();
    std::uint32_t local = 0;
    std::uint32_t broadcast = 0;
    fgParseIp("127.0.0.1", local);
    fgParseIp("127.255.255.255", broadcast);
    if (iBind(probe, CEndpoint{local, 24220}) != 0 || iSetBroadcast(probe, true) != 0) {
        return -1;
    }
    iRaiseReceiveBuffer(probe, 8 << 20);
    std::vector<std::uint8_t> search(16, 0);
    search[0] = 0xA8;
    search[1] = 0x01;
    std::set<std::uint32_t> senders;
    std::vector<std::uint8_t> buffer(4096);
    const auto start = CClock::now();
    iSendTo(probe, search, CEndpoint{broadcast, 24218});
    while (senders.size() < count) {
        int events = 0;
        if (iWaitOne(probe, true, false, 1000, events) <= 0) {
            return -1;
        }
        CEndpoint from;
        if (iRecvFrom(probe, buffer, from) == 240) {
            senders.insert(from.m_uiAddr);
        }
    }
    return dMs(CClock::now() - start);
}

}  // namespace

int main() {
    constexpr std::size_t kBaseline = 10;
    constexpr std::size_t kFleet = 1000;
    const bool isolated = fgPrivateLoopback();
    std::printf("devsim start-up (%s)\n",
                isolated ? "own network namespace" : "host loopback, 127.0.0.2 and up");

    double baselineMs = 0;
    {
        devsim::CDevSimFleet small(sConfig(kBaseline));
        baselineMs = dStartMs(small);
    }
    devsim::CDevSimFleet fleet(sConfig(kFleet));
    const double fleetMs = dStartMs(fleet);
    if (baselineMs < 0 || fleetMs < 0) {
        return 1;
    }
    const double searchMs = dSearchMs(kFleet);
    std::printf("  start %4zu devices: %8.2f ms\n", kBaseline, baselineMs);
    std::printf("  start %4zu devices: %8.2f ms  (target < 1000 ms)\n", kFleet, fleetMs);
    std::printf("  per device: %.3f ms at %zu, %.3f ms at %zu (ratio %.2f)\n",
                baselineMs / kBaseline, kBaseline, fleetMs / kFleet, kFleet,
                (fleetMs / kFleet) / (baselineMs / kBaseline));
    if (searchMs < 0) {
        std::printf("  search: not every device answered within a second\n");
        return 1;
    }
    std::printf("  one search answered by all %zu devices in %.2f ms\n", kFleet, searchMs);
    fleet.vStop();
    return fleetMs < 1000 ? 0 : 1;
}
