// "kestrel-cli stream" against a simulated camera, in a network namespace of its own:
// the line operator's check that a camera streams, with its exit codes and recording.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_runner.h"
#include "devsim/dev_sim_fleet.h"
#include "devsim/station_probe.h"
#include "support/netns.h"
#include "support/temp_dir.h"

namespace {

struct CRow {
    const char* m_name;
    std::vector<std::string> m_args;
    int m_iExit;
    std::vector<std::string> m_lines;  // each must appear in the output
};

std::string strRead(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
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

    // Annex B access units, beginning with the sequence parameter set of a key frame.
    const std::string h264 = strRead(video);
    ASSERT_GT(h264.size(), 1000U);
    EXPECT_EQ(h264.substr(0, 5), std::string("\0\0\0\1\x67", 5));
    // The AMR file head, then whole 12.2 kbit/s frames (mode byte 0x3C).
    const std::string amr = strRead(audio);
    ASSERT_GT(amr.size(), 6U + 32U);
    EXPECT_EQ(amr.substr(0, 6), "#!AMR\n");
    EXPECT_EQ((amr.size() - 6) % 32, 0U);
    EXPECT_EQ(static_cast<unsigned char>(amr[6]), 0x3CU);
}

}  // namespace
