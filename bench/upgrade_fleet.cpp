// A hundred simulated devices on loopback each receive one firmware file of N MB at
// once. Measured in the same run, to the same receivers:
//   - the station's upgrader (64 KiB pieces streamed from disk),
//   - the station's upgrader sending 1 KiB pieces (the size devices were once sent),
//   - a plain TCP sender: one thread per device pushing the head and the file with
//     blocking sends of 256 KiB.
// Throughput counts file bytes until the last device holds its last byte. Prints the
// station's peak memory growth during its run and whether every device's SHA-256
// matches the file.
//
//   bench_upgrade_fleet [--mb N] [--full]      (default 2 MB; --full is 32 MB)
//
// Runs in a network namespace of its own (needs root): nothing leaves the machine.
#include <sched.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/file_util.h"
#include "devsim/dev_sim_fleet.h"
#include "net/my_socket.h"
#include "upgrade/upg_wire.h"
#include "upgrade/upgrader.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kDevices = 100;
constexpr std::size_t kPlainPieceBytes = 256 * 1024;
constexpr auto kGiveUp = std::chrono::minutes(5);

class CQuietView final : public IUpgradeView {
  public:
    void vOnUpgradeEvent(const CUpgEvent&) override {}
};

class CQuietReceiver final : public ILanReceiver {
  public:
    void vOnDatagram(std::span<const std::uint8_t>, const CEndpoint&) override {}
    void vOnAnnouncement(std::span<const std::uint8_t>, const CEndpoint&) override {}
};

// A line of /proc/self/status in kB ("VmRSS", "VmHWM").
long iStatusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string name;
    long value = 0;
    while (status >> name) {
        if (name == std::string(key) + ":") {
            status >> value;
            return value;
        }
        status.ignore(1 << 10, '\n');
    }
    return 0;
}

// Starts the peak RSS afresh at the current RSS.
void vResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

std::string strDevice(std::size_t index) {
    return "127.0.0." + std::to_string(2 + index);
}

// Waits until every device has completed `transfers` transfers; the time it took.
double dWaitReceived(devsim::CDevSimFleet& fleet, std::uint32_t transfers,
                     Clock::time_point start) {
    for (std::size_t i = 0; i < kDevices;) {
        if (fleet.sDeviceState(i).m_uiUpgTransfers >= transfers) {
            ++i;
        } else if (Clock::now() - start > kGiveUp) {
            return -1;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

int iDigestsMatching(devsim::CDevSimFleet& fleet, const std::string& digest) {
    int matching = 0;
    for (std::size_t i = 0; i < kDevices; ++i) {
        const auto files = fleet.sDeviceState(i).m_upgFiles;
        matching += files.size() == 1 && files[0].m_strSha256 == digest ? 1 : 0;
    }
    return matching;
}

// The station's upgrader on the fleet; seconds until every device holds the file.
double dStationRun(devsim::CDevSimFleet& fleet, const CUpgFile& file, std::size_t pieceBytes,
                   std::uint32_t transfers, long* peakGrowthKb) {
    CQuietReceiver receiver;
    CMySocket transport;
    CInterfaceAddr loopback{iIpv4Net(127, 0, 0, 1), iIpv4Net(255, 0, 0, 0)};
    if (!transport.Init(receiver, std::vector<CInterfaceAddr>{loopback})) {
        return -1;
    }
    CQuietView view;
    CUpgOptions options;
    options.m_iChunkBytes = pieceBytes;
    double seconds = -1;
    {
        CUpgrader upgrader(transport, view, options);
        transport.vSetUpgradeAcceptHandler(upgrader.fnAcceptHandler());
        std::vector<std::string> targets;
        for (std::size_t i = 0; i < kDevices; ++i) {
            targets.push_back(strDevice(i));
        }
        const long baseKb = iStatusKb("VmRSS");
        vResetPeak();
        const auto start = Clock::now();
        upgrader.iStartUpgrade({file}, targets);
        seconds = dWaitReceived(fleet, transfers, start);
        while (upgrader.fgRunning() && Clock::now() - start < kGiveUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (peakGrowthKb != nullptr) {
            *peakGrowthKb = iStatusKb("VmHWM") - baseKb;
        }
        transport.UnInit();
    }
    return seconds;
}

// One device's share of the plain sender.
void vPlainSend(std::size_t index, const std::vector<std::uint8_t>& head, const std::string& path,
                std::atomic<int>& failures) {
    CSocket socket = CSocket::Tcp();
    std::uint32_t addrNet = 0;
    fgParseIp(strDevice(index), addrNet);
    if (iConnect(socket, CEndpoint{addrNet, kPortDeviceUpgrade}) != 0 || iSend(socket, head) < 0) {
        ++failures;
        return;
    }
    const FilePtr file(std::fopen(path.c_str(), "rb"));
    std::vector<std::uint8_t> piece(kPlainPieceBytes);
    std::size_t got = 0;
    while (file && (got = std::fread(piece.data(), 1, piece.size(), file.get())) > 0) {
        for (std::size_t done = 0; done < got;) {
            const int sent = iSend(socket, std::span(piece.data() + done, got - done));
            if (sent <= 0) {
                ++failures;
                return;
            }
            done += static_cast<std::size_t>(sent);
        }
    }
    std::array<std::uint8_t, 64> answer{};
    (void)iRecv(socket, answer);
}

double dPlainRun(devsim::CDevSimFleet& fleet, const CUpgFile& file, std::uint32_t transfers) {
    const auto size = static_cast<std::uint32_t>(std::filesystem::file_size(file.m_strPath));
    const std::vector<CUpgHeadEntry> entries{{size, file.m_uiType, "rootfs.bin"}};
    const std::vector<std::uint8_t> head = bufBuildFileHead(entries);
    std::atomic<int> failures{0};
    const auto start = Clock::now();
    {
        std::vector<std::jthread> senders;
        for (std::size_t i = 0; i < kDevices; ++i) {
            senders.emplace_back([&, i] { vPlainSend(i, head, file.m_strPath, failures); });
        }
        const double seconds = dWaitReceived(fleet, transfers, start);
        return failures.load() == 0 ? seconds : -1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    setenv("KESTREL_LOG", "/dev/null", 0);
    long megabytes = 2;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--full") {
            megabytes = 32;
        } else if (arg == "--mb" && i + 1 < argc) {
            megabytes = std::strtol(argv[++i], nullptr, 10);
        } else {
            std::printf("usage: bench_upgrade_fleet [--mb N] [--full]\n");
            return 2;
        }
    }
    if (megabytes < 1 || megabytes > 1024) {
        std::printf("upgrade_fleet: --mb wants 1 to 1024\n");
        return 2;
    }
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNET) != 0 || std::system("ip link set lo up") != 0) {
        std::printf("upgrade_fleet: needs root to run in a network namespace of its own\n");
        return 0;
    }

    char folder[] = "/tmp/kestrel-upgrade-bench-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        return 1;
    }
    const std::string path = std::string(folder) + "/rootfs.bin";
    devsim::CSimSha256 digest;
    {
        std::vector<std::uint8_t> block(1 << 20);
        std::uint32_t seed = 12345;
        const FilePtr out(std::fopen(path.c_str(), "wb"));
        for (long m = 0; m < megabytes; ++m) {
            for (std::uint8_t& byte : block) {
                seed = seed * 1664525U + 1013904223U;
                byte = static_cast<std::uint8_t>(seed >> 24);
            }
            std::fwrite(block.data(), 1, block.size(), out.get());
            digest.vUpdate(block);
        }
    }
    const std::string expected = digest.strHexDigest();
    const CUpgFile file{path, kUpgTypeRootfs};

    std::string error;
    devsim::CDevSimConfig config;
    config.m_addresses = *devsim::sConsecutiveAddresses("127.0.0.2", kDevices, error);
    devsim::CDevSimFleet fleet(config);
    if (fleet.iStart(error) != 0) {
        std::printf("upgrade_fleet: fleet did not start: %s\n", error.c_str());
        return 1;
    }

    long growthKb = 0;
    const double station = dStationRun(fleet, file, CUpgOptions{}.m_iChunkBytes, 1, &growthKb);
    const int stationDigests = iDigestsMatching(fleet, expected);
    const double plain = dPlainRun(fleet, file, 2);
    const int plainDigests = iDigestsMatching(fleet, expected);
    const double small = dStationRun(fleet, file, 1024, 3, nullptr);
    const int smallDigests = iDigestsMatching(fleet, expected);
    fleet.vStop();
    std::filesystem::remove_all(folder);

    const double totalMb = static_cast<double>(kDevices * static_cast<std::size_t>(megabytes));
    const auto rate = [totalMb](double seconds) { return seconds > 0 ? totalMb / seconds : 0.0; };
    std::printf("%zu devices x %ld MB (%.0f MB in all)\n", kDevices, megabytes, totalMb);
    std::printf("  station, 64 KiB pieces: %8.1f MB/s  (%.2f s), digests %d/%zu\n", rate(station),
                station, stationDigests, kDevices);
    std::printf("  station, 1 KiB pieces:  %8.1f MB/s  (%.2f s), digests %d/%zu\n", rate(small),
                small, smallDigests, kDevices);
    std::printf("  plain TCP sender:       %8.1f MB/s  (%.2f s), digests %d/%zu\n", rate(plain),
                plain, plainDigests, kDevices);
    std::printf("  ratio station/plain: %.2f (goal >= 0.5); 64 KiB vs 1 KiB pieces: %.2f\n",
                rate(plain) > 0 ? rate(station) / rate(plain) : 0.0,
                rate(small) > 0 ? rate(station) / rate(small) : 0.0);
    std::printf(
        "  peak memory growth during the station's run (station and devices): %.1f MB "
        "(goal <= 64 MB; the file is %ld MB, the whole fleet's bytes %.0f MB)\n",
        static_cast<double>(growthKb) / 1024.0, megabytes, totalMb);
    const bool ok =
        station > 0 && plain > 0 && small > 0 && stationDigests == static_cast<int>(kDevices) &&
        plainDigests == static_cast<int>(kDevices) && smallDigests == static_cast<int>(kDevices);
    return ok ? 0 : 1;
}
