// The station under faults, end to end: kestrel-cli and kestrel-devsim as built, in a
// network namespace of the test's own, with datagrams dropped at random, TCP streams
// reset, the receiving device killed, the disk full and device text that tries to
// drive the terminal. What the station says must be what happened.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "support/impair.h"
#include "support/netns.h"
#include "support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string strCli(const std::string& args) {
    return std::string(KESTREL_CLI_PATH) + " --bind 127.0.0.1/8 " + args;
}

std::vector<std::string> vecSimArgs(int fleet, const std::vector<std::string>& behaviours) {
    std::vector<std::string> argv{KESTREL_DEVSIM_PATH, "--fleet", std::to_string(fleet)};
    for (const std::string& behave : behaviours) {
        argv.push_back("--behave");
        argv.push_back(behave);
    }
    return argv;
}

bool fgHas(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string strSha256Of(const std::string& path) {
    std::FILE* pipe = ::popen(("sha256sum " + path).c_str(), "r");
    char digest[65] = {};
    const std::size_t got = pipe != nullptr ? std::fread(digest, 1, 64, pipe) : 0;
    if (pipe != nullptr) {
        ::pclose(pipe);
    }
    return std::string(digest, got);
}

}  // namespace

// 52 devices behind a network that loses one datagram in five, both ways: every
// search with an expected bench finds all of them within 15 s, and so does the line
// check's.
TEST(FaultsLoss, SearchAndCheckFindTheWholeBenchAtOneDatagramInFiveLost) {
    if (!fgCanImpair()) {
        GTEST_SKIP() << strImpairSkipReason();
    }
    constexpr int kBench = 52;
    CNetns ns("kt-loss");
    CWatchedChild sim(ns, vecSimArgs(kBench, {}), "devices ready", 60000);
    ASSERT_TRUE(sim.fgReady());
    vImpair(ns, strDropUdp(0.2));

    const std::string found = "found " + std::to_string(kBench) + " of " + std::to_string(kBench);
    for (int run = 0; run < 5; ++run) {
        SCOPED_TRACE(run);
        const Clock::time_point start = Clock::now();
        const CRun search = sRunInNetns(ns, strCli("search --expect " + std::to_string(kBench)));
        const auto seconds = std::chrono::duration<double>(Clock::now() - start).count();
        EXPECT_EQ(search.m_iExit, 0) << search.m_strOut;
        EXPECT_TRUE(fgHas(search.m_strOut, found + "\n")) << search.m_strOut;
        EXPECT_LE(seconds, 15.0);
    }
    CTempDir dir;
    const CRun check = sRunInNetns(ns, strCli("check --expect " + std::to_string(kBench) +
                                              " --steps uid --report " + dir.file("reports")));
    EXPECT_TRUE(fgHas(check.m_strOut, found + "\n")) << check.m_strOut;
}

// A transfer that breaks on the way never ends as a success: the device killed while
// the file is on its way, or the connection reset in the middle. Whatever the station
// calls succeeded, the device got whole (its SHA-256 as the simulator computed it).
TEST(FaultsUpgrade, ABrokenTransferEndsFailedAndNoSuccessIsFalse) {
    if (!fgCanImpair()) {
        GTEST_SKIP() << strImpairSkipReason();
    }
    CTempDir dir;
    std::string firmware(6 * 1024 * 1024, '\0');
    for (std::size_t i = 0; i < firmware.size(); ++i) {
        firmware[i] = static_cast<char>((i * 2654435761U) >> 13);
    }
    const std::string kernel = dir.write("kernel.bin", firmware);
    const std::string digest = strSha256Of(kernel);
    ASSERT_EQ(digest.size(), 64U);

    enum class EFault { kNone, kKillReceiver, kReset };
    const struct {
        const char* m_pszName;
        EFault m_eFault;
        std::vector<std::string> m_behave;
    } cases[] = {
        {"no fault", EFault::kNone, {}},
        // The device stops reading after the head, so the file is surely on its way
        // when it is killed.
        {"receiver killed", EFault::kKillReceiver, {"0:upgrade=stall"}},
        {"reset mid-transfer", EFault::kReset, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_pszName);
        CNetns ns("kt-upgf");
        CWatchedChild sim(ns, vecSimArgs(1, c.m_behave), "devices ready", 60000);
        ASSERT_TRUE(sim.fgReady());
        std::string command = strCli("upgrade " + kernel + " --type kernel --to 127.0.0.2");
        if (c.m_eFault == EFault::kReset) {
            vImpair(ns, strResetTcpEvery(24215, 40));
        }
        if (c.m_eFault == EFault::kKillReceiver) {
            // Killed once the device holds the connection: the station is then sending.
            command =
                "sh -c '(until ss -Htn state established \"( sport = :24215 )\" | grep -q .;"
                " do sleep 0.05; done; kill -9 " +
                std::to_string(sim.iPid()) + ") & " + command + "; r=$?; wait; exit $r'";
        }
        const CRun upgrade = sRunInNetns(ns, command);
        const std::string received = sim.strFinish();
        const bool deviceGotIt =
            fgHas(received, "received kernel.bin " + std::to_string(firmware.size()) +
                                " bytes sha256 " + digest);
        const bool succeeded = fgHas(upgrade.m_strOut, "1 succeeded");
        if (c.m_eFault == EFault::kNone) {
            EXPECT_EQ(upgrade.m_iExit, 0) << upgrade.m_strOut;
            EXPECT_TRUE(succeeded) << upgrade.m_strOut;
        } else {
            EXPECT_NE(upgrade.m_iExit, 0) << upgrade.m_strOut;
            EXPECT_TRUE(fgHas(upgrade.m_strOut, "1 failed")) << upgrade.m_strOut;
        }
        if (succeeded) {
            EXPECT_TRUE(deviceGotIt) << received;
        }
    }
}

// A full disk: every file the CLI writes whole fails with a line naming the file and
// the reason, a non-zero exit, and nothing left that looks like a result.
TEST(FaultsDisk, AFullDiskFailsLoudlyAndLeavesNoFile) {
    if (!fgCanUseNetns()) {
        GTEST_SKIP() << strNetnsSkipReason();
    }
    CNetns ns("kt-disk");
    CWatchedChild sim(ns, vecSimArgs(1, {}), "devices ready", 60000);
    ASSERT_TRUE(sim.fgReady());
    CTempDir dir;
    const std::string full = dir.file("full");
    std::filesystem::create_directory(full);
    const struct {
        const char* m_pszArgs;  // {} is the full folder
        const char* m_pszFile;  // named in the error
    } cases[] = {
        {"qr KSIM000000000001ABCDE {}/code.png", "/code.png"},
        {"qr KSIM000000000001ABCDE {}/code.bmp", "/code.bmp"},
        {"snapshot 127.0.0.2 --seconds 60 {}/shot.png", "/shot.png"},
        {"check --steps video --report {} 127.0.0.2", "/snapshot-127.0.0.2.png"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_pszArgs);
        const std::string args =
            std::regex_replace(std::string(c.m_pszArgs), std::regex("\\{\\}"), full);
        // A mount namespace of the command's own with a small disk, filled up first.
        const CRun run =
            sRunInNetns(ns, "unshare -m sh -c 'mount -t tmpfs -o size=64k kestrel-full " + full +
                                " && (cat /dev/zero > " + full + "/fill 2>/dev/null; " +
                                strCli(args) + " 2>&1; echo \"exit $?\"; cd " + full +
                                " && find . ! -name fill ! -name . "
                                "| sed \"s/^/remains /\")'");
        EXPECT_FALSE(fgHas(run.m_strOut, "exit 0\n")) << run.m_strOut;
        EXPECT_TRUE(fgHas(run.m_strOut, "exit ")) << run.m_strOut;
        EXPECT_TRUE(fgHas(run.m_strOut, std::string(c.m_pszFile) + ": No space left on device"))
            << run.m_strOut;
        EXPECT_FALSE(fgHas(run.m_strOut, "PASS")) << run.m_strOut;
        EXPECT_FALSE(fgHas(run.m_strOut, "remains ")) << run.m_strOut;
    }
}

// A device whose UID and version carry terminal controls: every output shows them as
// escapes, none passes through.
TEST(FaultsText, DeviceTextNeverReachesTheTerminalRaw) {
    if (!fgCanUseNetns()) {
        GTEST_SKIP() << strNetnsSkipReason();
    }
    CNetns ns("kt-text");
    CWatchedChild sim(
        ns,
        vecSimArgs(2, {"0:uid=\x1b[2J\x1b[H\aKSIM\b\b\x7f\xc2\x9bX", "0:version=V1\rFAIL\x1b[1A"}),
        "devices ready", 60000);
    ASSERT_TRUE(sim.fgReady());
    CTempDir dir;
    const struct {
        std::string m_strArgs;
        const char* m_pszShown;
        bool m_fgCrLf;  // lines end in CR LF
    } cases[] = {
        {"search", "\\x1b[2J\\x1b[H\\x07KSIM\\x08\\x08\\x7f\\x9bX", false},
        {"--csv search", "\\x1b[2J\\x1b[H\\x07KSIM", true},
        {"--json search", "\\u001b[2J\\u001b[H\\u0007KSIM\\u0008\\u0008\\u007f\\u009bX", false},
        {"check --steps uid,version --version V2 --report " + dir.file("r") + " 127.0.0.2",
         "version 'V1\\x0dFAIL\\x1b[1A'", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_strArgs);
        const CRun run = sRunInNetns(ns, strCli(c.m_strArgs));
        EXPECT_TRUE(fgHas(run.m_strOut, c.m_pszShown)) << run.m_strOut;
        for (const char byte : run.m_strOut) {
            const auto value = static_cast<unsigned char>(byte);
            EXPECT_TRUE(value >= 0x20 || byte == '\n' || (byte == '\r' && c.m_fgCrLf))
                << "control byte " << static_cast<int>(value) << " in " << run.m_strOut;
        }
        EXPECT_FALSE(fgHas(run.m_strOut, "\xc2\x9b")) << run.m_strOut;
    }
}

// upgrade --all with an expected bench: a device that never answers the search is
// named, the others are upgraded, and the run does not pass.
TEST(FaultsUpgrade, AllWithAnIncompleteBenchNamesTheMissingDeviceAndFails) {
    if (!fgCanUseNetns()) {
        GTEST_SKIP() << strNetnsSkipReason();
    }
    CNetns ns("kt-upgall");
    CWatchedChild sim(ns, vecSimArgs(3, {"2:silent"}), "devices ready", 60000);
    ASSERT_TRUE(sim.fgReady());
    CTempDir dir;
    const std::string kernel = dir.write("kernel.bin", std::string(100000, 'k'));
    const std::string bench =
        dir.write("bench.csv", "mac\n02:4b:53:00:00:01\n02:4b:53:00:00:02\n02:4b:53:00:00:03\n");
    const CRun upgrade =
        sRunInNetns(ns, strCli("upgrade " + kernel + " --type kernel --all --expect " + bench));
    const std::string received = sim.strFinish();
    EXPECT_EQ(upgrade.m_iExit, 3) << upgrade.m_strOut;
    EXPECT_TRUE(fgHas(upgrade.m_strOut, "found 2 of 3\n")) << upgrade.m_strOut;
    EXPECT_TRUE(fgHas(upgrade.m_strOut, "missing: 02:4b:53:00:00:03\n")) << upgrade.m_strOut;
    EXPECT_TRUE(fgHas(upgrade.m_strOut, "2 succeeded")) << upgrade.m_strOut;
    EXPECT_TRUE(fgHas(received, "127.0.0.2 received kernel.bin 100000 bytes"));
    EXPECT_TRUE(fgHas(received, "127.0.0.3 received kernel.bin 100000 bytes"));
}
