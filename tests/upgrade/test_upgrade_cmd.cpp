// kestrel-cli upgrade in-process against a simulated fleet: files are vetted before
// any device hears of the upgrade, and one command is one run with one summary.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli_runner.h"
#include "cli/cli_session.h"
#include "cli/cmd_upgrade.h"
#include "protocol/lan_station.h"
#include "upgrade_bench.h"

namespace {

using devsim::EUpgFault;

struct CCmdRun {
    int m_iExit = -1;
    std::string m_strOut;
    std::string m_strErr;
};

std::size_t iCount(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos;
         at = text.find(part, at + part.size())) {
        ++count;
    }
    return count;
}

class UpgradeCommand : public UpgradeBench {
  protected:
    CCmdRun run(const std::vector<std::string>& args, EListFormat format = EListFormat::kTable) {
        CCliOptions options;
        options.m_strCommand = "upgrade";
        options.m_args = args;
        options.m_eFormat = format;
        CCliView view;
        CLanStation lan(view);
        EXPECT_TRUE(lan.fgStart(
            std::vector<CInterfaceAddr>{{iIpv4Net(127, 0, 0, 1), iIpv4Net(255, 0, 0, 0)}}, &view));
        std::ostringstream out;
        std::ostringstream err;
        CCmdRun result;
        result.m_iExit = iUpgradeCommand(
            options, lan, [](const std::optional<CExpectedBench>&) { return CUpgSearch{}; }, out,
            err, sFastOptions());
        result.m_strOut = out.str();
        result.m_strErr = err.str();
        return result;
    }

    // count simulated devices without the test's own station transport.
    void vFleet(std::size_t count, const FUpgTweak& tweak) {
        vStart(count, tweak);
        m_transport.UnInit();
    }
};

TEST_F(UpgradeCommand, UnfitFilesRefuseTheWholeCommandBeforeAnyDeviceHearsOfIt) {
    vFleet(1, {});
    const std::string kernel = strFile("kernel.bin", 4000);
    const std::string folder = (m_dir.path() / "rootfs.d").string();
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    const struct {
        std::vector<std::string> files;  // besides the good kernel
        std::string type;
        std::vector<std::string> named;  // in the error output, each with its reason
    } rows[] = {
        {{(m_dir.path() / "missing_uboot.bin").string()},
         "",
         {"missing_uboot.bin: does not exist"}},
        {{strFile("env.bin", 0)}, "", {"env.bin: is empty"}},
        {{folder}, "", {"rootfs.d: is not a regular file"}},
        {{strFile("Rootfs_v2.bin", 10)}, "", {"Rootfs_v2.bin: is of no accepted type"}},
        {{}, "rootfs", {"kernel.bin: is not of the type asked for"}},
        {{strFile("notes.txt", 5), strFile("app.img", 0)},
         "",
         {"notes.txt: is of no accepted type", "app.img: is empty"}},
    };
    for (const auto& row : rows) {
        std::vector<std::string> args{kernel};
        args.insert(args.end(), row.files.begin(), row.files.end());
        if (!row.type.empty()) {
            args.insert(args.end(), {"--type", row.type});
        }
        args.insert(args.end(), {"--to", strDevice(0)});
        const CCmdRun result = run(args);
        EXPECT_EQ(result.m_iExit, kCliUsage) << result.m_strErr;
        for (const std::string& named : row.named) {
            EXPECT_NE(result.m_strErr.find(named), std::string::npos) << named << "\n"
                                                                      << result.m_strErr;
        }
        EXPECT_TRUE(result.m_strOut.empty()) << result.m_strOut;
    }
    EXPECT_EQ(m_fleet->sDeviceState(0).m_uiUpgradeRequests, 0U);
    EXPECT_EQ(m_fleet->sDeviceState(0).m_uiUpgConnections, 0U);
}

TEST_F(UpgradeCommand, TwelveDevicesFourFailingAreOneRunWithOneSummaryAndTwelveRows) {
    vFleet(12, [](std::size_t i, devsim::CSimBehaviour& b) {
        b.m_eUpgFault = i % 3 == 0 ? EUpgFault::kAnswerFailed : EUpgFault::kNone;
        b.m_iUpgRestartMs = 300;
        b.m_strUpgVersion = "V5.0.1";
    });
    std::vector<std::string> args{
        strFile("kernel.bin", 20'000), "--wave", "5", "--expect-version", "V5.0.1", "--to"};
    for (std::size_t i = 0; i < 12; ++i) {
        args.push_back(strDevice(i));
    }
    const CCmdRun table = run(args);
    EXPECT_EQ(table.m_iExit, kCliDeviceFailed) << table.m_strOut << table.m_strErr;
    EXPECT_EQ(iCount(table.m_strOut, "Upgrade: "), 1U) << table.m_strOut;
    EXPECT_NE(table.m_strOut.find("Upgrade: 8 succeeded, 4 failed, 0 no answer\n"),
              std::string::npos)
        << table.m_strOut;
    EXPECT_EQ(iCount(table.m_strOut, " succeeded (version V5.0.1)\n"), 8U) << table.m_strOut;
    // Each failure once as it happens and once under the summary.
    EXPECT_EQ(iCount(table.m_strOut, " failed: device answered RECVFILE FAILED\n"), 8U)
        << table.m_strOut;

    // Again as JSON: the devices confirmed before keep their new version.
    const CCmdRun json = run(args, EListFormat::kJson);
    EXPECT_EQ(json.m_iExit, kCliDeviceFailed);
    // Standard output holds the array alone; the state lines went to standard error.
    const std::string& array = json.m_strOut;
    ASSERT_TRUE(array.starts_with("[\n")) << array;
    EXPECT_EQ(iCount(json.m_strErr, "Upgrade: "), 1U) << json.m_strErr;
    EXPECT_EQ(iCount(array, "{\"address\": "), 12U) << array;
    EXPECT_EQ(iCount(array, "\"verdict\": \"succeeded\""), 8U) << array;
    // A device that restarts at once may not have answered the search sent as it was
    // contacted: its version before is then unknown, so only the rest is fixed.
    const std::size_t third =
        array.find("{\"address\": \"127.0.0.3\", \"uid\": \"" + m_fleet->sDeviceState(1).m_strUid +
                   "\", \"files\": 1, \"bytes\": 20000, \"verdict\": "
                   "\"succeeded\", \"reason\": \"\", \"version_before\": ");
    ASSERT_NE(third, std::string::npos) << array;
    EXPECT_NE(array.find("\"version_after\": \"V5.0.1\"", third), std::string::npos) << array;
    EXPECT_NE(
        array.find("{\"address\": \"127.0.0.2\", \"uid\": \"" + m_fleet->sDeviceState(0).m_strUid +
                   "\", \"files\": 1, \"bytes\": 20000, \"verdict\": \"failed\", "
                   "\"reason\": \"device answered RECVFILE FAILED\", "
                   "\"version_before\": \"V3.4.7.240612\", \"version_after\": \"\""),
        std::string::npos)
        << array;
}

}  // namespace
