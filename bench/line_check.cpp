// The line check of 100 simulated cameras with the video and audio steps, as kestrel-cli
// check runs it: wall time and peak memory with 16 devices at once, against checking
// them one at a time, both measured in the same run. Prints the ratio.
//
// Runs in a network namespace of its own (needs root): nothing leaves the machine.
// The simulated bench runs in one child process and each check in another, so each
// check's peak memory is its own.
#include "check/line_check.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "cli/cli_session.h"
#include "devsim/dev_sim_fleet.h"
#include "protocol/lan_station.h"

namespace {

constexpr int kDevices = 100;
constexpr int kParallel = 16;

struct CRunTimes {
    double m_dSeconds = 0;
    long m_lPeakKb = 0;
    int m_iPassed = 0;
};

// Runs the simulated bench until killed.
[[noreturn]] void vRunFleet(int readyFd) {
    std::string error;
    devsim::CDevSimConfig config;
    config.m_addresses = *devsim::sConsecutiveAddresses("127.0.0.2", kDevices, error);
    devsim::CDevSimFleet fleet(config);
    for (std::size_t i = 0; i < kDevices; ++i) {
        fleet.vUpdateDevice(i, [](devsim::CSimDeviceState& state, devsim::CSimBehaviour&) {
            // Every fifth device is a gateway by default: made a camera with an SD card.
            state.m_uiFlags |= devsim::kFlagCamera;
            state.m_uiSdTotalMb = std::max<std::uint32_t>(state.m_uiSdTotalMb, 1024);
        });
    }
    const char ready = fleet.iStart(error) == 0 ? 'y' : 'n';
    if (ready != 'y') {
        std::printf("line_check: the bench did not start: %s\n", error.c_str());
    }
    (void)::write(readyFd, &ready, 1);
    while (true) {
        ::pause();
    }
}

// Searches the bench and checks it with `parallel` devices at once (in a child).
CRunTimes sCheckOnce(int parallel, const std::string& snapshotDir) {
    CCliView view;
    CLanStation lan(view);
    CInterfaceAddr loopback;
    fgParseIp("127.0.0.1", loopback.m_uiAddr);
    fgParseIp("255.0.0.0", loopback.m_uiMask);
    CRunTimes result;
    if (!lan.fgStart(std::vector<CInterfaceAddr>{loopback})) {
        return result;
    }
    vSearchUntil(lan.station(), CliClock::now() + std::chrono::seconds(10),
                 [&lan] { return lan.station().registry().iRowCount() >= kDevices; });
    std::vector<CCheckTarget> targets;
    for (const CDevInfo& device : lan.station().registry().vecActiveView()) {
        targets.push_back({device.m_uiIpAddr, device});
    }
    CLineCheckOptions options;
    for (const ECheckStep step : {ECheckStep::kLogin, ECheckStep::kUid, ECheckStep::kSd,
                                  ECheckStep::kWifi, ECheckStep::kVideo, ECheckStep::kAudio}) {
        options.m_steps.set(static_cast<std::size_t>(step));
    }
    options.m_iParallel = parallel;
    options.m_strSnapshotDir = snapshotDir;
    CLineCheck check(lan.transport(), options);
    const auto start = std::chrono::steady_clock::now();
    const std::vector<CDeviceCheck> rows = check.vecRun(targets, nullptr);
    result.m_dSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    for (const CDeviceCheck& row : rows) {
        result.m_iPassed += row.fgPassed() ? 1 : 0;
        for (std::size_t s = 0; s < kCheckStepCount && !row.fgPassed(); ++s) {
            if (row.m_steps[s].m_eOutcome == EStepOutcome::kFail) {
                std::printf("line_check: %s failed %s: %s\n", row.m_strIp.c_str(),
                            std::string(strStepName(static_cast<ECheckStep>(s))).c_str(),
                            row.m_steps[s].m_strReason.c_str());
            }
        }
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    result.m_lPeakKb = usage.ru_maxrss;
    return result;
}

// sCheckOnce in a child process, so that its peak memory is its own.
CRunTimes sCheckInChild(int parallel, const std::string& snapshotDir) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        return {};
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        const CRunTimes result = sCheckOnce(parallel, snapshotDir);
        (void)::write(pipeFds[1], &result, sizeof result);
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    CRunTimes result;
    if (::read(pipeFds[0], &result, sizeof result) != static_cast<ssize_t>(sizeof result)) {
        result = {};
    }
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return result;
}

}  // namespace

int main() {
    setenv("KESTREL_LOG", "/dev/null", 0);
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNET) != 0 || std::system("ip link set lo up") != 0) {
        std::printf("line_check: needs root to run in a network namespace of its own\n");
        return 0;
    }
    int readyFds[2];
    if (::pipe(readyFds) != 0) {
        return 1;
    }
    const pid_t fleet = ::fork();
    if (fleet == 0) {
        vRunFleet(readyFds[1]);
    }
    char ready = 'n';
    (void)::read(readyFds[0], &ready, 1);
    if (ready != 'y') {
        ::kill(fleet, SIGKILL);
        return 1;
    }
    const std::filesystem::path snapshots = std::filesystem::temp_directory_path() /
                                            ("kestrel-line-check-" + std::to_string(::getpid()));
    std::filesystem::create_directories(snapshots);
    const CRunTimes together = sCheckInChild(kParallel, snapshots.string());
    const CRunTimes alone = sCheckInChild(1, snapshots.string());
    ::kill(fleet, SIGKILL);
    ::waitpid(fleet, nullptr, 0);
    std::filesystem::remove_all(snapshots);

    std::printf("line check of %d simulated cameras (login, uid, sd, wifi, video, audio)\n",
                kDevices);
    const auto line = [](const char* name, const CRunTimes& result) {
        std::printf("  %-22s %6.1f s wall, peak %6.1f MB, %3d passed\n", name, result.m_dSeconds,
                    static_cast<double>(result.m_lPeakKb) / 1024.0, result.m_iPassed);
    };
    line(("parallel " + std::to_string(kParallel) + ":").c_str(), together);
    line("one at a time:", alone);
    std::printf("  ratio wall time, one at a time/parallel: %.1f\n",
                together.m_dSeconds > 0 ? alone.m_dSeconds / together.m_dSeconds : 0.0);
    std::printf("  ratio peak memory, parallel/one at a time: %.2f\n",
                alone.m_lPeakKb > 0
                    ? static_cast<double>(together.m_lPeakKb) / static_cast<double>(alone.m_lPeakKb)
                    : 0.0);
    return together.m_iPassed == kDevices && alone.m_iPassed == kDevices ? 0 : 1;
}
