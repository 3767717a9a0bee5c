// kestrel-cli against kestrel-devsim, both as built, each run inside network
// namespaces made by the test: one bench on loopback, and a station between two
// subnets.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <span>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/text_conv.h"
#include "net/socket_layer.h"
#include "support/netns.h"
#include "support/temp_dir.h"
#include "support/tone_probe.h"
#include "support/wait_until.h"

namespace {

// Runs kestrel-cli inside the namespace; standard output and the exit code.
CRun sCli(const CNetns& ns, const std::string& args) {
    return sRunInNetns(ns, std::string(KESTREL_CLI_PATH) + " " + args);
}

// A kestrel-devsim process in a namespace, stopped with the object.
class CDevsim {
  public:
    CDevsim(const CNetns& ns, std::vector<std::string> args)
        : m_child(ns, vecWithProgram(std::move(args)), "devices ready", 30000) {
        EXPECT_TRUE(m_child.fgReady()) << "the simulator comes up";
    }

  private:
    static std::vector<std::string> vecWithProgram(std::vector<std::string> args) {
        args.insert(args.begin(), KESTREL_DEVSIM_PATH);
        return args;
    }
    CNetnsChild m_child;
};

// The names of a process's threads as the system shows them.
std::vector<std::string> vecThreadNames(int pid) {
    std::vector<std::string> names;
    std::error_code error;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        if (std::getline(comm, name)) {
            names.push_back(name);
        }
    }
    return names;
}

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

// A script reads the list as JSON even when another program holds the station's upgrade
// port: the station says so on standard error, never in its results.
TEST_F(CliLoopback, JsonStaysParseableWhenTheUpgradePortIsTaken) {
    const std::string command = std::string(KESTREL_CLI_PATH) +
                                " --bind 127.0.0.1/8 --timeout 800 --json search"
                                " | jq -e 'length == 4 and all(.[]; .uid != null)' > /dev/null";
    const int exitCode = iRunInNetns(*m_ns, [&command] {
        const CSocket holder = CSocket::Tcp();
        if (iBind(holder, CEndpoint{iIpv4Net(127, 0, 0, 1), 24214}) != 0 ||
            iListen(holder, 1) != 0) {
            return 90;
        }
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : 91;
    });
    EXPECT_EQ(exitCode, 0) << "jq could not read the list (or found other than 4 devices)";
}

// Every thread of a streaming station carries its name, for ps and debuggers.
TEST_F(CliLoopback, StreamingStationShowsNamedThreads) {
    const int pid = iSpawnInNetns(*m_ns, {KESTREL_CLI_PATH, "--bind", "127.0.0.1/8", "stream",
                                          "127.0.0.2", "--seconds", "60"});
    ASSERT_GT(pid, 0);
    const std::vector<std::string> wanted{"stream-manage", "stream-recv", "stream-beat"};
    std::vector<std::string> names;
    const bool named = fgWaitUntil([&] {
        names = vecThreadNames(pid);
        return std::all_of(wanted.begin(), wanted.end(), [&names](const std::string& name) {
            return std::find(names.begin(), names.end(), name) != names.end();
        });
    });
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    std::string seen;
    for (const std::string& name : names) {
        seen += name + " ";
    }
    EXPECT_TRUE(named) << "threads seen: " << seen;
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
    // The flood runs from before the commands start until both have ended, a byte on a
    // pipe saying each. Started first, its process cannot inherit a command's output
    // pipe, which would keep that command's output open until the flood ends.
    int startedPipe[2] = {-1, -1};
    int stopPipe[2] = {-1, -1};
    ASSERT_EQ(::pipe2(startedPipe, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(stopPipe, O_CLOEXEC), 0);
    int floodResult = -1;
    std::thread flooder([this, &floodResult, startedFd = startedPipe[1], stopFd = stopPipe[0]] {
        floodResult = iRunInNetns(*m_ns, [startedFd, stopFd] {
            const char started = 0;
            if (::write(startedFd, &started, 1) != 1) {
                return 1;
            }
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
            pollfd stop{stopFd, POLLIN, 0};
            // Only should the end never come.
            const auto limit = std::chrono::steady_clock::now() + std::chrono::minutes(1);
            for (int sent = 1; std::chrono::steady_clock::now() < limit; ++sent) {
                // Tens of thousands a second, looking out for the end now and then for a
                // moment: a flood that leaves a busy two-core machine the processor time
                // to answer at all.
                if (sent % 64 == 0 && ::poll(&stop, 1, 1) != 0) {
                    break;
                }
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
    pollfd started{startedPipe[0], POLLIN, 0};
    EXPECT_EQ(::poll(&started, 1, 30'000), 1) << "the flood did not start";
    const CRun login = cli("login 127.0.0.2");
    const CRun search = cli("--timeout 800 --json search");
    const char end = 0;
    EXPECT_EQ(::write(stopPipe[1], &end, 1), 1);
    flooder.join();
    for (const int fd : {startedPipe[0], startedPipe[1], stopPipe[0], stopPipe[1]}) {
        ::close(fd);
    }
    EXPECT_EQ(floodResult, 0);
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

// Video parameters and motors, one command after another on the same cameras: the
// other stream is kept on a write, numbers keep the low bits their fields hold, a
// refused write still reads back, a move runs until its (cut) step count is reached.
TEST_F(CliLoopback, VideoParamsAndMotorDriveTheCamera) {
    struct Case {
        const char* args;
        int exitCode;
        std::vector<const char*> lines;
    };
    const char* const kSubAsBefore =
        "sub stream: resolution VGA (7), frame rate 15, bit rate 512, standard PAL (0)";
    const Case cases[] = {
        {"video-params 127.0.0.2",
         0,
         {"127.0.0.2 Get video param success",
          "main stream: resolution 720P (16), frame rate 25, bit rate 2048, standard PAL (0)",
          kSubAsBefore}},
        {"video-params 127.0.0.2 --main 1080p,30,70000,NTSC",
         0,
         {"127.0.0.2 Set video param success",
          "main stream: resolution 1080P (18), frame rate 30, bit rate 4464, standard NTSC (1)",
          kSubAsBefore}},
        {"video-params 127.0.0.2 --sub 5,15,512,PAL",
         3,
         {"127.0.0.2 Set video param failed", kSubAsBefore}},
        {"video-params 127.0.0.6", 3, {"127.0.0.6 Get video param failed"}},
        {"video-params 127.0.0.2 --main 4K,25,1,PAL", 2, {}},
        {"motor 127.0.0.3 timer 257 1", 0, {"127.0.0.3 Get motor timer success", "timer: H 1 V 1"}},
        {"motor 127.0.0.3 right 65636", 0, {"127.0.0.3 Motor movo  right success"}},
        {"motor 127.0.0.3 down 5", 0, {"127.0.0.3 Motor movo  down success"}},
        {"motor 127.0.0.6 left 5", 3, {}},
        {"motor 127.0.0.3 sideways 5", 2, {}},
    };
    for (const Case& c : cases) {
        const CRun run = cli(c.args);
        EXPECT_EQ(run.m_iExit, c.exitCode) << c.args << "\n" << run.m_strOut;
        for (const char* line : c.lines) {
            EXPECT_TRUE(fgHasLine(run.m_strOut, line)) << c.args << "\n" << run.m_strOut;
        }
    }
    // 65636 steps go as 100: the motor stops there, not at the end of its range.
    CRun position;
    EXPECT_TRUE(fgWaitUntil([&] {
        position = cli("motor 127.0.0.3 position");
        return fgHasLine(position.m_strOut, "position: H 100 V 0");
    })) << position.m_strOut;
    EXPECT_EQ(cli("motor 127.0.0.3 zero").m_iExit, 0);
    EXPECT_TRUE(fgHasLine(cli("motor 127.0.0.3 position").m_strOut, "position: H 0 V 0"));
}

// Two seconds of the camera's listen channel as a WAV file: its 1 kHz tone, every 20 ms
// of it, as many frames as the packets carried.
TEST_F(CliLoopback, ListenWritesTheTonesSoundAsWav) {
    const CTempDir dir;
    const std::string wavPath = dir.file("listen.wav");
    const CRun run = cli("listen 127.0.0.2 --seconds 2 --out " + wavPath);
    ASSERT_EQ(run.m_iExit, 0) << run.m_strOut;
    EXPECT_TRUE(fgHasLine(run.m_strOut, "gaps: 0")) << run.m_strOut;
    EXPECT_TRUE(fgHasLine(run.m_strOut, "dropped frames: 0")) << run.m_strOut;
    long packets = 0;
    long frames = 0;
    std::istringstream lines(run.m_strOut);
    for (std::string line; std::getline(lines, line);) {
        std::sscanf(line.c_str(), "packets: %ld", &packets);
        std::sscanf(line.c_str(), "frames: %ld", &frames);
    }
    EXPECT_EQ(frames, 2 * packets) << run.m_strOut;
    EXPECT_GE(frames, 60) << "well over a second of sound";

    std::ifstream file(wavPath, std::ios::binary);
    const std::string wav((std::istreambuf_iterator<char>(file)), {});
    ASSERT_GE(wav.size(), 44U);
    const auto le = [&wav](std::size_t at, int bytes) {
        std::uint32_t value = 0;
        for (int i = bytes - 1; i >= 0; --i) {
            value = value << 8 | static_cast<std::uint8_t>(wav[at + static_cast<std::size_t>(i)]);
        }
        return value;
    };
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(le(20, 2), 1U);     // PCM
    EXPECT_EQ(le(22, 2), 1U);     // one channel
    EXPECT_EQ(le(24, 4), 8000U);  // samples per second
    EXPECT_EQ(le(34, 2), 16U);    // bits per sample
    EXPECT_EQ(wav.substr(36, 4), "data");
    const std::uint32_t dataBytes = le(40, 4);
    ASSERT_EQ(wav.size(), 44U + dataBytes);
    ASSERT_EQ(dataBytes, static_cast<std::uint32_t>(frames) * 320U);

    std::vector<std::int16_t> samples(dataBytes / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(le(44 + 2 * i, 2));
    }
    // Past the decoder's first frames, each 20 ms is the tone: no silent piece.
    constexpr std::size_t kFrameSamples = 160;
    const auto steady = std::span(samples).subspan(5 * kFrameSamples);
    EXPECT_NEAR(dStrongestHz(steady, 200.0, 3600.0, 10.0), 1000.0, 15.0);
    for (std::size_t at = 0; at + kFrameSamples <= steady.size(); at += kFrameSamples) {
        const auto piece = steady.subspan(at, kFrameSamples);
        EXPECT_GT(dGoertzel(piece, 1000.0), 20.0 * dGoertzel(piece, 2000.0))
            << "20 ms piece at sample " << at + 5 * kFrameSamples;
        double energy = 0.0;
        for (const std::int16_t sample : piece) {
            energy += static_cast<double>(sample) * sample;
        }
        EXPECT_GT(std::sqrt(energy / kFrameSamples), 3000.0)
            << "silence at sample " << at + 5 * kFrameSamples;
    }
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

TEST_F(CliUpgrade, PrintsEveryStateTheTableAndTheExitCode) {
    const std::string kernel = m_dir.write("kernel.bin", std::string(300'000, 'k'));
    const std::string env = m_dir.write("env.bin", "e");

    const CRun mixed = cli("upgrade " + kernel + " " + env + " --to 127.0.0.2 127.0.0.3 127.0.0.4");
    EXPECT_EQ(mixed.m_iExit, 3) << mixed.m_strOut;
    for (const char* line :
         {"127.0.0.2 contacting", "127.0.0.2 sending 2 files",
          "127.0.0.3 sending 2 files (device called in)",
          "127.0.0.3 sent 300,001 bytes, waiting for confirmation", "127.0.0.2 succeeded",
          "127.0.0.4 failed: device answered RECVFILE FAILED",
          "Upgrade: 2 succeeded, 1 failed, 0 no answer",
          "  127.0.0.4 failed: device answered RECVFILE FAILED"}) {
        EXPECT_TRUE(fgHasLine(mixed.m_strOut, line)) << line << "\n" << mixed.m_strOut;
    }

    const CRun json = cli("--json upgrade " + kernel + " --type kernel --to 127.0.0.2 127.0.0.3");
    EXPECT_EQ(json.m_iExit, 0) << json.m_strOut;
    EXPECT_NE(json.m_strOut.find("\"files\": 1, \"bytes\": 300000, \"verdict\": \"succeeded\", "
                                 "\"reason\": \"\""),
              std::string::npos)
        << json.m_strOut;

    // A file of another type than asked for refuses the whole command: no device is
    // contacted, so no state line is printed.
    const CRun wrongType = cli("upgrade " + env + " --type kernel --to 127.0.0.2");
    EXPECT_EQ(wrongType.m_iExit, 2);
    EXPECT_TRUE(wrongType.m_strOut.empty()) << wrongType.m_strOut;
}
