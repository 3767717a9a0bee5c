// One search with 1,000 and with 5,000 simulated devices on loopback, as the station
// runs it: the search broadcast, the second broadcast 100 ms later, and the discovery
// queue drained every 20 ms. Prints the share of devices listed and the time from the
// first broadcast to the last record: with the station's drain (a time budget per
// tick) and, as the baselines measured in the same run, with one batch per tick (the
// old pace of about 30 records) and with the system's default receive buffer.
//
// Runs in a network namespace of its own (needs root): nothing leaves the machine.
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "devsim/dev_sim_fleet.h"
#include "protocol/lan_station.h"

namespace {

constexpr int kFleets[] = {1000, 5000};
constexpr auto kGiveUp = std::chrono::seconds(8);
constexpr int kSocketsPerDevice = 7;
constexpr rlim_t kSpareDescriptors = 2000;

struct CResult {
    int m_iFound = 0;
    double m_dLastRecordMs = 0;
};

// budget: the work of one drain tick (0: one batch, the old pace).
CResult sSearchOnce(int devices, int recvBufferBytes, std::chrono::microseconds budget) {
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
        station.discovery().iDrainDiscoveryQueue(budget);
        if (station.registry().iRowCount() != before) {
            lastRecord = std::chrono::steady_clock::now();
        }
        if (station.registry().iRowCount() >= devices) {
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

int iBench(int devices) {
    std::string error;
    devsim::CDevSimConfig config;
    config.m_addresses =
        *devsim::sConsecutiveAddresses("127.0.0.2", static_cast<std::size_t>(devices), error);
    devsim::CDevSimFleet fleet(config);
    const auto fleetStart = std::chrono::steady_clock::now();
    if (fleet.iStart(error) != 0) {
        std::printf("fleet_search: fleet did not start: %s\n", error.c_str());
        return 1;
    }
    const double startMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - fleetStart)
            .count();

    const CResult station =
        sSearchOnce(devices, CMySocket::kDefaultRecvBufferBytes, CDiscoveryFeature::kDrainBudget);
    const CResult batch =
        sSearchOnce(devices, CMySocket::kDefaultRecvBufferBytes, std::chrono::microseconds(0));
    const CResult plain = sSearchOnce(devices, 0, CDiscoveryFeature::kDrainBudget);
    const auto line = [devices](const char* name, const CResult& result) {
        std::printf("  %-34s %5d listed (%5.1f%%), last record %5.0f ms after the search\n", name,
                    result.m_iFound, 100.0 * result.m_iFound / devices, result.m_dLastRecordMs);
    };
    std::printf("fleet of %d devices started in %.1f ms\n", devices, startMs);
    line("station (budget per tick):", station);
    line("one batch per tick (old pace):", batch);
    line("default receive buffer:", plain);
    std::printf(
        "  ratio time to list all, old pace/station: %.2f\n",
        station.m_dLastRecordMs > 0 ? batch.m_dLastRecordMs / station.m_dLastRecordMs : 0.0);
    fleet.vStop();
    return station.m_iFound == devices ? 0 : 1;
}

}  // namespace

int main() {
    setenv("KESTREL_LOG", "/dev/null", 0);
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNET) != 0 || std::system("ip link set lo up") != 0) {
        std::printf("fleet_search: needs root to run in a network namespace of its own\n");
        return 0;
    }
    // A simulated device keeps seven sockets open: 5,000 need about 35,000 descriptors.
    // Root may raise its own limit; where the system refuses, the big fleet is cut to
    // what the limit allows, and the line says so.
    rlimit files{65536, 65536};
    if (::setrlimit(RLIMIT_NOFILE, &files) != 0) {
        ::getrlimit(RLIMIT_NOFILE, &files);
    }
    int failed = 0;
    for (int devices : kFleets) {
        const int allowed =
            static_cast<int>((files.rlim_max - kSpareDescriptors) / kSocketsPerDevice);
        if (devices > allowed) {
            std::printf(
                "fleet_search: %d devices need more descriptors than the limit of %llu; "
                "measuring %d\n",
                devices, static_cast<unsigned long long>(files.rlim_max), allowed);
            devices = allowed;
        }
        failed |= iBench(devices);
    }
    return failed;
}
