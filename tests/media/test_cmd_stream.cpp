// "kestrel-cli stream" against a simulated camera, in a network namespace of its own:
// the line operator's check that a camera streams, with its exit codes and recording.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_runner.h"
#include "devsim/dev_sim_fleet.h"
#include "devsim/station_probe.h"
#include "media/recording_files.h"
#include "media/sim_camera_test.h"
#include "support/netns.h"
#include "support/small_disk.h"
#include "support/temp_dir.h"

namespace {

struct CRow {
    const char* m_name;
    std::vector<std::string> m_args;
    int m_iExit;
    std::vector<std::string> m_lines;  // each must appear in the output
};

struct CRun {
    int m_iExit = 0;
    std::string m_strOut;
    std::string m_strErr;
};

CRun sRunCli(const std::vector<std::string>& args) {
    const CCliParse parsed = sParseCliArgs(args);
    CRun run;
    if (!parsed.m_options) {
        run.m_iExit = -1;
        run.m_strErr = parsed.m_strError;
        return run;
    }
    std::ostringstream out;
    std::ostringstream err;
    run.m_iExit = iRunCli(*parsed.m_options, out, err);
    run.m_strOut = out.str();
    run.m_strErr = err.str();
    return run;
}

TEST(CmdStream, ReportsWhatArrivedAndExitsByTheOutcome) {
    if (!fgCanUseNetns()) {
        GTEST_SKIP() << strNetnsSkipReason();
    }
    CNetns ns("kt-cs");
    CNetnsScope scope(ns);
    ASSERT_TRUE(scope.fgEntered());
    std::string error;
    devsim::CDevSimConfig config;
    config.m_addresses = *devsim::sConsecutiveAddresses("127.0.0.2", 2, error);
    devsim::CDevSimFleet fleet(config);
    fleet.vUpdateDevice(1, [](devsim::CSimDeviceState&, devsim::CSimBehaviour& behaviour) {
        behaviour.m_stream.m_iLoginResult = -5;
    });
    ASSERT_EQ(fleet.iStart(error), 0) << error;
    ASSERT_TRUE(fleet.sDeviceState(1).fgIsCamera());

    CTempDir dir;
    const std::string video = dir.file("sub.h264");
    const std::string audio = dir.file("listen.amr");
    const std::vector<CRow> rows{
        {"sub stream recorded",
         {"stream", "127.0.0.2", "--stream", "sub", "--seconds", "2", "--record", video},
         kCliOk,
         {"stream: sub", "gaps: 0", "reconnects: 0"}},
        {"listen recorded",
         {"stream", "127.0.0.2", "--stream", "listen", "--seconds", "1", "--record", audio},
         kCliOk,
         {"stream: listen", "key frames: 0"}},
        {"login refused",
         {"stream", "127.0.0.3", "--seconds", "5"},
         kCliDeviceFailed,
         {"frames: 0", "login refused: -5"}},
        {"wrong password",
         {"--password", "nope", "stream", "127.0.0.2"},
         kCliDeviceFailed,
         {"login refused: -2"}},
        {"nobody there", {"stream", "127.0.0.9", "--seconds", "1"}, kCliNoAnswer, {"frames: 0"}},
        {"bad option", {"stream", "127.0.0.2", "--stream", "third"}, kCliUsage, {}},
    };
    for (const CRow& row : rows) {
        SCOPED_TRACE(row.m_name);
        const CCliParse parsed = sParseCliArgs(row.m_args);
        ASSERT_TRUE(parsed.m_options) << parsed.m_strError;
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(iRunCli(*parsed.m_options, out, err), row.m_iExit) << err.str();
        for (const std::string& line : row.m_lines) {
            EXPECT_NE(out.str().find(line + "\n"), std::string::npos) << out.str();
        }
    }

    // Annex B access units, beginning with the sequence parameter set of a key frame:
    // a decoder reading from the first byte shows a picture from the first frame on.
    const std::string h264 = strReadFile(video);
    ASSERT_GT(h264.size(), 1000U);
    EXPECT_EQ(h264.substr(0, 5), std::string("\0\0\0\1\x67", 5));
    const CDecoded decoded = sDecodeAnnexB(h264);
    EXPECT_EQ(decoded.m_iErrors, 0);
    EXPECT_GT(decoded.m_iPictures, 25);
    EXPECT_TRUE(decoded.m_fgFirstIsKey);
    // The AMR file head, then whole 12.2 kbit/s frames (mode byte 0x3C).
    const std::string amr = strReadFile(audio);
    ASSERT_GT(amr.size(), 6U + 32U);
    EXPECT_EQ(amr.substr(0, 6), "#!AMR\n");
    EXPECT_EQ((amr.size() - 6) % 32, 0U);
    EXPECT_EQ(static_cast<unsigned char>(amr[6]), 0x3CU);
}

// "stream" and "listen" in front of one simulated camera.
class CmdStreamCamera : public CSimCameraTest {};

// A disk that fills up while recording: the recording keeps its whole frames, the run
// names the file and the cut, and its exit code is not success.
TEST_F(CmdStreamCamera, RecordingOntoAFillingDiskIsCutAndSaysSo) {
    vStart();
    struct CDiskRow {
        const char* m_name;
        std::vector<std::string> m_args;  // the file goes last
        std::size_t m_iDiskBytes;
        bool m_fgFillFirst;
    };
    const std::vector<CDiskRow> rows{
        {"sub stream, the disk fills up",
         {"stream", "127.0.0.2", "--stream", "sub", "--seconds", "3", "--record"},
         96U << 10,
         false},
        {"sub stream, the disk is full",
         {"stream", "127.0.0.2", "--stream", "sub", "--seconds", "1", "--record"},
         96U << 10,
         true},
        {"listen, the disk fills up",
         {"listen", "127.0.0.2", "--seconds", "4", "--out"},
         40U << 10,
         false},
    };
    for (const CDiskRow& row : rows) {
        SCOPED_TRACE(row.m_name);
        CSmallDisk disk(row.m_iDiskBytes);
        ASSERT_TRUE(disk.fgMounted());
        if (row.m_fgFillFirst) {
            disk.vFill();
        }
        const bool wav = row.m_args[0] == "listen";
        const std::string path = disk.file(wav ? "sound.wav" : "video.h264");
        std::vector<std::string> args = row.m_args;
        args.push_back(path);
        const CRun run = sRunCli(args);
        EXPECT_EQ(run.m_iExit, kCliSetupFailed) << run.m_strOut << run.m_strErr;
        EXPECT_NE(run.m_strErr.find(path + ": recording cut after "), std::string::npos)
            << run.m_strErr;
        EXPECT_NE(run.m_strErr.find("No space left on device"), std::string::npos) << run.m_strErr;
        if (!std::filesystem::exists(path)) {
            // Not one frame fitted: nothing is left that looks like a recording.
            EXPECT_NE(run.m_strErr.find("after 0 frames / 0 bytes"), std::string::npos);
            continue;
        }
        const std::string bytes = strReadFile(path);
        EXPECT_NE(run.m_strErr.find(" / " + std::to_string(bytes.size()) + " bytes"),
                  std::string::npos)
            << run.m_strErr;
        if (wav) {
            ASSERT_GT(bytes.size(), 44U);
            EXPECT_EQ(uiLe32At(bytes, 4), bytes.size() - 8);
            EXPECT_EQ(uiLe32At(bytes, 40), bytes.size() - 44);
        } else {
            const CDecoded decoded = sDecodeAnnexB(bytes);
            EXPECT_EQ(decoded.m_iErrors, 0);
            EXPECT_GT(decoded.m_iPictures, 0);
            EXPECT_TRUE(decoded.m_fgFirstIsKey);
        }
    }
}

// Media that stops for most of the time asked is a failed run that says when it
// stopped; a short stall is only said.
TEST_F(CmdStreamCamera, StallIsReportedAndMostlyStalledExitsFour) {
    // A few frames per connection, then nothing while heartbeats are still answered:
    // the watchdog reconnects after three silent seconds, and the same happens again.
    vStart([](devsim::CSimStreamBehaviour& stream) { stream.m_iStallAfter = 10; });
    for (const char* stream : {"sub", "listen"}) {
        SCOPED_TRACE(stream);
        const CRun run = sRunCli({"stream", "127.0.0.2", "--stream", stream, "--seconds", "6"});
        EXPECT_EQ(run.m_iExit, kCliNoAnswer) << run.m_strOut << run.m_strErr;
        const std::size_t at = run.m_strOut.find("media stopped after ");
        ASSERT_NE(at, std::string::npos) << run.m_strOut;
        const double stoppedAfter = std::stod(run.m_strOut.substr(at + 20));
        EXPECT_LT(stoppedAfter, 3.0) << run.m_strOut;
        EXPECT_NE(run.m_strOut.find(" s of 6\n", at), std::string::npos) << run.m_strOut;
    }
}

}  // namespace
