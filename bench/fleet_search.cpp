// One search with 1,000 simulated devices on loopback, as the station runs it: the
// search broadcast, the second broadcast 100 ms later, and the discovery queue drained
// every 20 ms. Prints the share of devices listed and the time from the first
// broadcast to the last record, with the transport's raised receive buffer and, as
// the baseline measured in the same run, with the system's default buffer.
//
// Runs in a network namespace of its own (needs root): nothing leaves the machine.
#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "devsim/dev_sim_fleet.h"
#include "protocol/lan_station.h"

namespace {

constexpr int kDevices = 1000;
constexpr auto kGiveUp = std::chrono::seconds(3);

struct CResult {
    int m_iFound = 0;
    double m_dLastRecordMs = 0;
};

CResult sSearchOnce(int recvBufferBytes) {
    IStationView view;
    CLanStation lan(view);
    lan.transport().vSetRecvBufferBytes(recvBufferBytes);
    CInterfaceAddr loopback;
    fgParseIp("127.0.0.1", loopback.m_uiAddr);
    fgParseIp("255.0.0.0", loopback.m_uiMask);
    CResult result;
    if (!lan.fgStart(std::vector<CInterfaceAddr>{loopback})) {
        return result;
    }
    CStation& station = lan.station();
    const auto start = std::chrono::steady_clock::now();
    station.discovery().vRefresh();
    bool searchedTwice = false;
    auto lastRecord = start;
    while (std::chrono::steady_clock::now() - start < kGiveUp) {
        const int before = station.registry().iRowCount();
        station.discovery().iDrainDiscoveryQueue();
        if (station.registry().iRowCount() != before) {
            lastRecord = std::chrono::steady_clock::now();
        }
        if (station.registry().iRowCount() >= kDevices) {
            break;
        }
        if (!searchedTwice &&
            std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(100)) {
            station.discovery().vSearch();
            searchedTwice = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    result.m_iFound = station.registry().iRowCount();
    result.m_dLastRecordMs = std::chrono::duration<double, std::milli>(lastRecord - start).count();
    return result;
}

}  // namespace

int main() {
    setenv("KESTREL_LOG", "/dev/null", 0);
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNET) != 0 || std::system("ip link set lo up") != 0) {
        std::printf("fleet_search: needs root to run in a network namespace of its own\n");
        return 0;
    }
    std::string error;
    devsim::CDevSimConfig config;
    config.m_addresses = *devsim::sConsecutiveAddresses("127.0.0.2", kDevices, error);
    devsim::CDevSimFleet fleet(config);
    const auto fleetStart = std::chrono::steady_clock::now();
    if (fleet.iStart(error) != 0) {
        std::printf("fleet_search: fleet did not start: %s\n", error.c_str());
        return 1;
    }
    const double startMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - fleetStart)
            .count();

    const CResult raised = sSearchOnce(CMySocket::kDefaultRecvBufferBytes);
    const CResult plain = sSearchOnce(0);
    std::printf("fleet of %d devices started in %.1f ms\n", kDevices, startMs);
    std::printf(
        "  raised receive buffer:  %4d listed (%.1f%%), last record %.0f ms after the search\n",
        raised.m_iFound, 100.0 * raised.m_iFound / kDevices, raised.m_dLastRecordMs);
    std::printf(
        "  default receive buffer: %4d listed (%.1f%%), last record %.0f ms after the search\n",
        plain.m_iFound, 100.0 * plain.m_iFound / kDevices, plain.m_dLastRecordMs);
    std::printf("  ratio listed raised/default: %.2f\n",
                plain.m_iFound == 0 ? 0.0 : static_cast<double>(raised.m_iFound) / plain.m_iFound);
    fleet.vStop();
    return raised.m_iFound == kDevices ? 0 : 1;
}
