// kestrel-cli against kestrel-devsim, both as built, each run inside network
// namespaces made by the test: one bench on loopback, and a station between two
// subnets.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/text_conv.h"
#include "net/socket_layer.h"
#include "support/netns.h"
#include "support/temp_dir.h"

namespace {

struct CRun {
    int m_iExit = -1;
    std::string m_strOut;
};

struct CPipeCloser {
    void operator()(std::FILE* pipe) const { ::pclose(pipe); }
};

// Runs kestrel-cli inside the namespace; standard output and the exit code.
CRun sCli(const CNetns& ns, const std::string& args) {
    const std::string command =
        "ip netns exec " + ns.name() + " " + KESTREL_CLI_PATH + " " + args + " 2>/dev/null";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    CRun run;
    if (pipe == nullptr) {
        return run;
    }
    std::array<char, 4096> chunk{};
    size_t got = 0;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) {
        run.m_strOut.append(chunk.data(), got);
    }
    const int status = ::pclose(pipe);
    run.m_iExit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// A kestrel-devsim process in a namespace, stopped with the object.
class CDevsim {
  public:
    CDevsim(const CNetns& ns, std::vector<std::string> args) {
        args.insert(args.begin(), KESTREL_DEVSIM_PATH);
        m_spawned = sSpawnInNetnsUntil(ns, args, "devices ready", 30000);
        EXPECT_TRUE(m_spawned.m_fgReady) << "the simulator comes up";
    }
    ~CDevsim() {
        if (m_spawned.m_iPid > 0) {
            ::kill(m_spawned.m_iPid, SIGTERM);
            int status = 0;
            ::waitpid(m_spawned.m_iPid, &status, 0);
        }
        if (m_spawned.m_iStdoutFd >= 0) {
            ::close(m_spawned.m_iStdoutFd);
        }
    }
    CDevsim(const CDevsim&) = delete;
    CDevsim& operator=(const CDevsim&) = delete;

  private:
    CSpawned m_spawned;
};

bool fgHasLine(const std::string& text, const std::string& line) {
    return text.find(line + "\n") != std::string::npos;
}

class CliLoopback : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fgCanUseNetns()) {
            GTEST_SKIP() << strNetnsSkipReason();
        }
        m_ns.emplace("kt-cli");
        // Devices 0 to 3 are cameras, device 4 (127.0.0.6) a gateway without an SD card.
        m_fleet.emplace(*m_ns, std::vector<std::string>{"--fleet", "5", "--behave",
                                                        "2:refuse-login", "--behave", "3:silent"});
    }
    void TearDown() override {
        m_fleet.reset();
        m_ns.reset();
    }
    CRun cli(const std::string& args) { return sCli(*m_ns, "--bind 127.0.0.1/8 " + args); }

    std::optional<CNetns> m_ns;
    std::optional<CDevsim> m_fleet;
};

}  // namespace

TEST_F(CliLoopback, SearchListsTheFleetSortedByUid) {
    const CRun run = cli("--timeout 800 search");
    EXPECT_EQ(run.m_iExit, 0);
    EXPECT_EQ(run.m_strOut.substr(0, 3), "ID ");
    for (const char* ip : {"127.0.0.2", "127.0.0.3", "127.0.0.4"}) {
        EXPECT_NE(run.m_strOut.find(ip), std::string::npos) << ip << "\n" << run.m_strOut;
    }
    EXPECT_EQ(run.m_strOut.find("127.0.0.5"), std::string::npos) << "a silent device listed";
}

TEST_F(CliLoopback, JsonHasOneObjectPerDevice) {
    const CRun run = cli("--timeout 800 --json search");
    EXPECT_EQ(run.m_iExit, 0);
    size_t objects = 0;
    for (size_t at = run.m_strOut.find("{\"uid\""); at != std::string::npos;
         at = run.m_strOut.find("{\"uid\"", at + 1)) {
        ++objects;
    }
    EXPECT_EQ(objects, 4U) << run.m_strOut;
}

TEST_F(CliLoopback, ExitCodesFollowTheDevicesAnswer) {
    struct Case {
        const char* args;
        int exitCode;
        const char* line;
    };
    const Case cases[] = {
        {"login 127.0.0.2", 0, "127.0.0.2 Check device success"},
        {"login 127.0.0.4", 3, "127.0.0.4 Check device failed"},
        {"--timeout 400 login 127.0.0.5", 4, nullptr},
        {"--timeout 400 restart 127.0.0.99", 4, nullptr},
        {"format-sd 127.0.0.2", 0, "127.0.0.2 Format SD card success"},
        {"--timeout 1500 format-sd 127.0.0.6", 3, "127.0.0.6 dev no sd card"},
        {"restart 127.0.0.4", 3, nullptr},  // refused password: nothing is sent
    };
    for (const Case& c : cases) {
        const CRun run = cli(c.args);
        EXPECT_EQ(run.m_iExit, c.exitCode) << c.args << "\n" << run.m_strOut;
        if (c.line != nullptr) {
            EXPECT_TRUE(fgHasLine(run.m_strOut, c.line)) << c.args << "\n" << run.m_strOut;
        }
    }
}

TEST_F(CliLoopback, SetUidShowsInTheNextSearch) {
    const CRun set = cli("set-uid 127.0.0.3 NEWUID0123456789ABCD");
    EXPECT_EQ(set.m_iExit, 0) << set.m_strOut;
    EXPECT_TRUE(fgHasLine(set.m_strOut, "127.0.0.3 Set uid success NEWUID0123456789ABCD"))
        << set.m_strOut;
    const CRun search = cli("--timeout 600 search");
    EXPECT_NE(search.m_strOut.find("NEWUID0123456789ABCD"), std::string::npos) << search.m_strOut;
}

// A flood of random and reply-shaped datagrams from another address while the CLI
// works: a single-device command prints only its device's lines, and whatever the
// flood carried is printed as valid UTF-8 (here in the JSON of a search).
TEST_F(CliLoopback, HostileTrafficShowsNeitherForeignLinesNorInvalidText) {
    std::thread flooder([this] {
        iRunInNetns(*m_ns, [] {
            const CSocket socket = CSocket::Udp();
            std::uint32_t from = 0;
            std::uint32_t station = 0;
            fgParseIp("127.0.0.77", from);
            fgParseIp("127.0.0.1", station);
            if (iBind(socket, CEndpoint{from, 24218}) != 0) {
                return 1;
            }
            std::mt19937 random(7);
            const std::uint8_t types[] = {101, 107, 113, 115, 166, 180, 181, 184};
            std::vector<std::uint8_t> datagram;
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(4);
            while (std::chrono::steady_clock::now() < until) {
                const std::uint8_t type = types[random() % std::size(types)];
                datagram.assign(type == 101 ? 240 : 16 + random() % 300, 0);
                for (std::uint8_t& byte : datagram) {
                    byte = static_cast<std::uint8_t>(random() | 0x80U);  // rarely valid UTF-8
                }
                datagram[0] = 0xA8;
                datagram[1] = type;
                for (const std::uint16_t port : {std::uint16_t{24216}, std::uint16_t{24220}}) {
                    (void)iSendTo(socket, datagram, CEndpoint{station, port});
                }
            }
            return 0;
        });
    });
    const CRun login = cli("login 127.0.0.2");
    const CRun search = cli("--timeout 800 --json search");
    flooder.join();
    EXPECT_EQ(login.m_iExit, 0) << login.m_strOut;
    std::istringstream lines(login.m_strOut);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ(line.rfind("127.0.0.2 ", 0), 0U) << "a line about another device: " << line;
    }
    EXPECT_TRUE(fgHasLine(login.m_strOut, "127.0.0.2 Check device success")) << login.m_strOut;
    EXPECT_EQ(search.m_iExit, 0);
    EXPECT_NE(search.m_strOut.find("127.0.0.2"), std::string::npos);
    EXPECT_EQ(strSanitizeUtf8(search.m_strOut), search.m_strOut) << "not valid UTF-8";
}

// The configuration, sensor, log and key verbs, in order: a changed item shows in the
// next configuration text.
TEST_F(CliLoopback, ConfigSensorLogAndKeyVerbs) {
    const struct {
        const char* args;
        int exitCode;
        const char* text;  // a line of the output
    } cases[] = {
        {"config 127.0.0.6", 0, "fg0_reset=0"},
        {"config-set 127.0.0.6 127.0.0.2 default_pwd=abc1", 0,
         "127.0.0.2 Modify the custom configuration success"},
        {"config 127.0.0.2", 0, "default_pwd=abc1"},
        {"config-set 127.0.0.6 127.0.0.4 volume=9", 3,
         "127.0.0.6 Modify the custom configuration success"},
        {"--timeout 400 config-set 127.0.0.5 volume=9", 4, nullptr},
        {"config-set 127.0.0.6 x=y=z", 2, nullptr},
        {"sensors 127.0.0.6", 0, "3     7    Climate hall"},
        {"--json sensors 127.0.0.6", 0,
         "  {\"index\": 3, \"kind\": 7, \"name\": \"Climate hall\"},"},
        {"key 127.0.0.6 5 0x10 300", 0, "127.0.0.6 send key success"},
        {"key 127.0.0.6 -1", 2, nullptr},
        {"log 127.0.0.6 --seconds 2", 0, nullptr},
        {"--timeout 400 log 127.0.0.5 --seconds 1", 4, nullptr},
    };
    for (const auto& c : cases) {
        const CRun run = cli(c.args);
        EXPECT_EQ(run.m_iExit, c.exitCode) << c.args << "\n" << run.m_strOut;
        if (c.text != nullptr) {
            EXPECT_TRUE(fgHasLine(run.m_strOut, c.text)) << c.args << "\n" << run.m_strOut;
        }
    }
    // The log is what the device printed while it was kept alive.
    EXPECT_NE(cli("log 127.0.0.6 --seconds 2").m_strOut.find("uid=KSIM"), std::string::npos);
}

TEST_F(CliLoopback, UsageErrorsExitWithTwo) {
    EXPECT_EQ(cli("").m_iExit, 2);
    EXPECT_EQ(cli("restart").m_iExit, 2);
    EXPECT_EQ(cli("set-net 127.0.0.2 cable a b c d dhcp").m_iExit, 2);
}

// The station in the middle of two subnets, one device on each: one search finds
// both, and each command reaches its device through the right interface.
TEST(CliTwoSubnets, FindsAndDrivesDevicesOnBothSubnets) {
    if (!fgCanUseNetns()) {
        GTEST_SKIP() << strNetnsSkipReason();
    }
    CNetns station("kt-cst");
    CNetns subnetA("kt-cda");
    CNetns subnetB("kt-cdb");
    vVethPair(station, "10.200.1.1/24", subnetA, "10.200.1.2/24");
    vVethPair(station, "10.200.2.1/24", subnetB, "10.200.2.2/24");
    // Two fleets number their devices alike; distinct UIDs keep them two devices.
    const CDevsim fleetA(subnetA, {"--allow-any-addr", "--addr", "10.200.1.2/24", "--behave",
                                   "0:uid=SUBNETA0000000000001"});
    const CDevsim fleetB(subnetB, {"--allow-any-addr", "--addr", "10.200.2.2/24", "--behave",
                                   "0:uid=SUBNETB0000000000001"});
    const std::string bind = "--bind 10.200.1.1/24 --bind 10.200.2.1/24 ";

    const CRun search = sCli(station, bind + "--timeout 800 search");
    EXPECT_NE(search.m_strOut.find("10.200.1.2"), std::string::npos) << search.m_strOut;
    EXPECT_NE(search.m_strOut.find("10.200.2.2"), std::string::npos) << search.m_strOut;

    const CRun set = sCli(station, bind + "set-uid 10.200.2.2 SUBNETB0000000000002");
    EXPECT_EQ(set.m_iExit, 0) << set.m_strOut;
    const CRun again = sCli(station, bind + "--timeout 800 --csv search");
    EXPECT_NE(again.m_strOut.find("SUBNETB0000000000002,"), std::string::npos) << again.m_strOut;
    EXPECT_EQ(sCli(station, bind + "restart 10.200.1.2").m_iExit, 0);
}

namespace {

// Three devices for the firmware upgrade: one listens, one calls the station back,
// one answers that the files failed.
class CliUpgrade : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fgCanUseNetns()) {
            GTEST_SKIP() << strNetnsSkipReason();
        }
        m_ns.emplace("kt-cliupg");
        m_fleet.emplace(
            *m_ns, std::vector<std::string>{"--fleet", "3", "--behave", "1:upgrade=connect-back",
                                            "--behave", "2:upgrade=fail"});
    }
    void TearDown() override {
        m_fleet.reset();
        m_ns.reset();
    }
    CRun cli(const std::string& args) { return sCli(*m_ns, "--bind 127.0.0.1/8 " + args); }

    CTempDir m_dir;
    std::optional<CNetns> m_ns;
    std::optional<CDevsim> m_fleet;
};

}  // namespace

TEST_F(CliUpgrade, PrintsEveryResultTheTableAndTheExitCode) {
    const std::string kernel = m_dir.write("kernel.bin", std::string(300'000, 'k'));
    const std::string env = m_dir.write("env.bin", "e");

    const CRun mixed = cli("upgrade " + kernel + " " + env + " --to 127.0.0.2 127.0.0.3 127.0.0.4");
    EXPECT_EQ(mixed.m_iExit, 3) << mixed.m_strOut;
    for (const char* line :
         {"dev 127.0.0.2 Connected", "127.0.0.3 Connected", "127.0.0.3 send env file success",
          "recv dev resp,127.0.0.2 Upgrade success", "127.0.0.4 Send file failed",
          "Upgrade: 2 succeeded, 1 failed, 0 no answer", "  127.0.0.4 failed: Send file failed"}) {
        EXPECT_TRUE(fgHasLine(mixed.m_strOut, line)) << line << "\n" << mixed.m_strOut;
    }
    EXPECT_NE(mixed.m_strOut.find("127.0.0.4           2       300001 failed"), std::string::npos)
        << mixed.m_strOut;

    const CRun json = cli("--json upgrade " + kernel + " --type kernel --to 127.0.0.2 127.0.0.3");
    EXPECT_EQ(json.m_iExit, 0) << json.m_strOut;
    EXPECT_NE(json.m_strOut.find("{\"address\": \"127.0.0.3\", \"files\": 1, \"bytes\": 300000, "
                                 "\"outcome\": \"succeeded\", \"reason\": \"\""),
              std::string::npos)
        << json.m_strOut;

    const CRun wrongType = cli("upgrade " + env + " --type kernel --to 127.0.0.2");
    EXPECT_EQ(wrongType.m_iExit, 2);
    EXPECT_TRUE(fgHasLine(wrongType.m_strOut, "file name err")) << wrongType.m_strOut;
}
