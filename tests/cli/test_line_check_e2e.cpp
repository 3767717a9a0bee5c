// The line check end to end: kestrel-cli check against a simulated bench of kestrel-devsim
// on loopback, both as built, inside a network namespace made by the test. Every
// device that misbehaves fails its own step with its own reason, every good device
// passes every step, and the run ends with its report.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/netns.h"
#include "support/temp_dir.h"

namespace {

// One CSV record per line (the report quotes fields with commas; no field holds a
// line break here).
std::vector<std::string> vecCsvFields(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

// The report's rows by address, each a map from column name to value.
std::map<std::string, std::map<std::string, std::string>> mapReportRows(const std::string& csv) {
    std::istringstream lines(csv);
    std::string line;
    std::getline(lines, line);
    const std::vector<std::string> header = vecCsvFields(line);
    std::map<std::string, std::map<std::string, std::string>> rows;
    while (std::getline(lines, line)) {
        const std::vector<std::string> fields = vecCsvFields(line);
        std::map<std::string, std::string> row;
        for (std::size_t i = 0; i < header.size() && i < fields.size(); ++i) {
            row[header[i]] = fields[i];
        }
        rows[row["ip"]] = row;
    }
    return rows;
}

std::string strReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// A device of the bench that fails one step, and how.
struct CFault {
    int m_iIndex;
    const char* m_pszBehave;  // the simulator's --behave kind
    const char* m_pszStep;
    const char* m_pszReason;  // part of the reason
};

// Devices 4, 9, 14 and 19 of a fleet are gateways; the check runs on the cameras only.
constexpr int kFleet = 20;
const CFault kFaults[] = {
    {1, "password=other", "login", "password refused"},
    {2, "uid=KSIM-bad", "uid", "not 20 upper-case"},
    {3, "uid=KSIM00000000011DEVAA", "uid", "UID also on 127.0.0.12"},
    {10, "", "uid", "UID also on 127.0.0.5"},  // the device whose UID 3 took
    {5, "version=V3.0.0.200101", "version", "version 'V3.0.0.200101'"},
    {6, "no-sd", "sd", "no SD card"},
    {7, "no-video", "video", "no key frame"},
    {8, "black-video", "video", "uniform picture"},
    {11, "no-audio", "audio", "0 of 10 audio frames"},
    {12, "horn-refuse", "horn", "refused the connection"},
    {13, "no-wifi", "wifi", "sees no Wi-Fi network"},
    {15, "silent", "search", "no answer to the search"},
};
constexpr int kGood[] = {0, 16, 17, 18};
const char* const kSteps[] = {"search", "login", "uid",   "version", "sd",
                              "wifi",   "video", "audio", "horn"};

std::string strIp(int index) {
    return "127.0.0." + std::to_string(index + 2);
}

bool fgIsGateway(int index) {
    return index % 5 == 4;
}

}  // namespace

TEST(LineCheckE2e, EveryFaultIsReportedWithItsReasonAndEveryGoodDevicePasses) {
    if (!fgCanUseNetns()) {
        GTEST_SKIP() << strNetnsSkipReason();
    }
    CNetns ns("kt-chk");
    CTempDir dir;
    std::vector<std::string> simArgs{KESTREL_DEVSIM_PATH, "--fleet", std::to_string(kFleet)};
    for (const CFault& fault : kFaults) {
        if (*fault.m_pszBehave != '\0') {
            simArgs.push_back("--behave");
            simArgs.push_back(std::to_string(fault.m_iIndex) + ":" + fault.m_pszBehave);
        }
    }
    std::optional<CNetnsChild> sim;
    sim.emplace(ns, simArgs, "devices ready", 60000);
    ASSERT_TRUE(sim->fgReady());

    // The bench expects every camera by its MAC (the form a label printer writes).
    std::string expected = "mac\n";
    std::string addresses;
    for (int index = 0; index < kFleet; ++index) {
        if (!fgIsGateway(index)) {
            char mac[32];
            std::snprintf(mac, sizeof mac, "02:4b:53:00:00:%02X\n", index + 1);
            expected += mac;
            addresses += " " + strIp(index);
        }
    }
    const std::string expectFile = dir.write("bench.csv", expected);
    const std::string hornFile = dir.write("horn.bin", std::string(6000, 'h'));
    const std::string reportDir = dir.file("reports");
    const auto start = std::chrono::steady_clock::now();
    const CRun run = sRunInNetns(
        ns, std::string(KESTREL_CLI_PATH) + " --bind 127.0.0.1/8 check --expect " + expectFile +
                " --version V3.4.7.240612 --steps login,uid,version,sd,wifi,video,audio,horn" +
                " --parallel 6 --limit 60 --horn-file " + hornFile + " --report " + reportDir +
                addresses);
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start)
            .count();
    // The snapshot verb on the same bench: a picture, a refused login, nothing in time.
    const std::string cli = std::string(KESTREL_CLI_PATH) + " snapshot ";
    const CRun picture = sRunInNetns(ns, cli + strIp(0) + " --stream sub " + dir.file("0.png"));
    const CRun refusedShot = sRunInNetns(ns, cli + strIp(1) + " " + dir.file("1.png"));
    const CRun nothing = sRunInNetns(ns, cli + strIp(7) + " --seconds 1 " + dir.file("7.png"));
    const CRun search =
        sRunInNetns(ns, std::string(KESTREL_CLI_PATH) + " --bind 127.0.0.1/8 search --expect 20");
    sim.reset();

    EXPECT_EQ(picture.m_iExit, 0) << picture.m_strOut;
    EXPECT_NE(picture.m_strOut.find("640x360"), std::string::npos) << picture.m_strOut;
    EXPECT_EQ(strReadFile(dir.file("0.png")).substr(0, 4), "\x89PNG");
    EXPECT_EQ(refusedShot.m_iExit, 3) << refusedShot.m_strOut;
    EXPECT_EQ(nothing.m_iExit, 4) << nothing.m_strOut;
    EXPECT_FALSE(std::filesystem::exists(dir.file("7.png")));
    EXPECT_EQ(search.m_iExit, 3) << search.m_strOut;
    EXPECT_NE(search.m_strOut.find("\nfound 19 of 20\n"), std::string::npos) << search.m_strOut;
    EXPECT_EQ(run.m_iExit, 3) << run.m_strOut;
    EXPECT_LT(seconds, 90) << "the run is bounded";
    // The bench: the silent camera is missing, the gateways were not expected.
    EXPECT_NE(run.m_strOut.find("found 15 of 16\n"), std::string::npos) << run.m_strOut;
    EXPECT_NE(run.m_strOut.find("missing: 02:4b:53:00:00:10\n"), std::string::npos);
    for (const int gateway : {4, 9, 14, 19}) {
        EXPECT_NE(run.m_strOut.find("unexpected: " + strIp(gateway) + " "), std::string::npos)
            << run.m_strOut;
    }

    std::vector<std::filesystem::path> folders;
    if (std::filesystem::exists(reportDir)) {
        for (const auto& entry : std::filesystem::directory_iterator(reportDir)) {
            folders.push_back(entry.path());
        }
    }
    ASSERT_EQ(folders.size(), 1U) << run.m_strOut;
    const std::filesystem::path& folder = folders.front();
    EXPECT_EQ(folder.filename().string().substr(0, 6), "check-");
    const auto rows = mapReportRows(strReadFile(folder / "report.csv"));
    ASSERT_EQ(rows.size(), 16U);

    for (const CFault& fault : kFaults) {
        SCOPED_TRACE(std::string(fault.m_pszStep) + " " + strIp(fault.m_iIndex));
        const auto found = rows.find(strIp(fault.m_iIndex));
        ASSERT_NE(found, rows.end());
        const auto& row = found->second;
        EXPECT_EQ(row.at("passed"), "no");
        EXPECT_EQ(row.at(fault.m_pszStep), "FAIL");
        EXPECT_NE(row.at(std::string(fault.m_pszStep) + "_reason").find(fault.m_pszReason),
                  std::string::npos)
            << row.at(std::string(fault.m_pszStep) + "_reason");
        // Its other steps fail for no reason of their own.
        for (const char* step : kSteps) {
            if (std::string(step) != fault.m_pszStep) {
                EXPECT_NE(row.at(step), "FAIL")
                    << step << ": " << row.at(std::string(step) + "_reason");
            }
        }
    }
    // A refused login still has its record checked; the session steps are skipped.
    const auto& refused = rows.at(strIp(1));
    EXPECT_EQ(refused.at("uid"), "PASS");
    EXPECT_EQ(refused.at("video"), "SKIPPED");
    EXPECT_EQ(refused.at("video_reason"), "login failed");
    // The black picture is kept, so the operator sees what the camera saw.
    EXPECT_TRUE(std::filesystem::exists(folder / rows.at(strIp(8)).at("snapshot")));

    for (const int index : kGood) {
        SCOPED_TRACE(strIp(index));
        const auto& row = rows.at(strIp(index));
        EXPECT_EQ(row.at("passed"), "yes");
        for (const char* step : kSteps) {
            EXPECT_EQ(row.at(step), "PASS")
                << step << ": " << row.at(std::string(step) + "_reason");
        }
        const std::string png = strReadFile(folder / row.at("snapshot"));
        EXPECT_EQ(png.substr(0, 4), "\x89PNG");
    }

    // The page: self-contained, failed devices first.
    const std::string html = strReadFile(folder / "report.html");
    EXPECT_NE(html.find("src=\"data:image/png;base64,"), std::string::npos);
    const std::size_t lastFailed = html.rfind("<tr class=\"failed\"");
    const std::size_t firstPassed = html.find("<tr class=\"passed\"");
    ASSERT_NE(firstPassed, std::string::npos);
    EXPECT_LT(lastFailed, firstPassed);
    EXPECT_NE(strReadFile(folder / "report.json").find("\"failed\": 12"), std::string::npos);
}
