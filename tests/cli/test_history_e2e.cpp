// The device history end to end: kestrel-cli's checks, upgrades and setting commands
// against kestrel-devsim, both as built, in a network namespace made by the test, read
// back with kestrel-cli history from the station's SQLite file and from a shared
// PostgreSQL server of the test's own, also across a run while that server is down.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/netns.h"
#include "support/pg_server.h"
#include "support/temp_dir.h"

namespace {

constexpr const char* kUid0 = "KSIM00000000001DEVAA";  // the simulator's device 0, 127.0.0.2

// The JSON objects of a history --json answer: one record per line.
std::vector<std::string> vecRecords(const std::string& json) {
    std::vector<std::string> records;
    std::size_t start = 0;
    while ((start = json.find("\n  {\"time\"", start)) != std::string::npos) {
        const std::size_t end = json.find('\n', start + 1);
        records.push_back(json.substr(start + 1, end - start - 1));
        start = end;
    }
    return records;
}

bool fgHas(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class HistoryE2e : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fgCanUseNetns()) {
            GTEST_SKIP() << strNetnsSkipReason();
        }
        m_ns.emplace("kt-hist");
        m_sim.emplace(*m_ns,
                      std::vector<std::string>{KESTREL_DEVSIM_PATH, "--fleet", "3", "--behave",
                                               "1:uid=KSIM-bad"},
                      "devices ready", 30000);
        ASSERT_TRUE(m_sim->fgReady());
    }
    void TearDown() override {
        m_sim.reset();
        m_ns.reset();
    }
    // kestrel-cli with the given history options, standard error joined to the output.
    CRun cli(const std::string& db, const std::string& args) {
        // sRunInNetns drops standard error; an inner shell joins it to the output first.
        return sRunInNetns(*m_ns, std::string("sh -c 'exec \"$@\" 2>&1' sh ") + KESTREL_CLI_PATH +
                                      " --bind 127.0.0.1/8 " + db + " " + args);
    }
    std::string check(const std::string& addresses) {
        return "check --steps login,uid --report " + m_dir.file("reports") + " " + addresses;
    }

    CTempDir m_dir;
    std::optional<CNetns> m_ns;
    std::optional<CNetnsChild> m_sim;
};

TEST_F(HistoryE2e, ACheckAnUpgradeAndASettingAreReadBackByUidMacAndAddress) {
    const std::string db = "--db sqlite:" + m_dir.file("station.sqlite") +
                           " --station bench-7 --operator 'Anna O'\\''Neil'";
    // SHA-256 of "abc".
    const std::string kernel = m_dir.write("kernel.bin", "abc");
    const CRun checked = cli(db, check("127.0.0.2 127.0.0.3"));
    EXPECT_EQ(3, checked.m_iExit) << checked.m_strOut;  // device 1's UID is malformed
    const CRun upgraded = cli(db, "upgrade " + kernel + " --to 127.0.0.2");
    EXPECT_EQ(0, upgraded.m_iExit) << upgraded.m_strOut;
    const CRun setUid = cli(db, "set-uid 127.0.0.4 ABCDEFGHIJ0123456789");
    EXPECT_EQ(0, setUid.m_iExit) << setUid.m_strOut;

    const CRun device0 = cli(db, std::string("history ") + kUid0 + " --json");
    ASSERT_EQ(0, device0.m_iExit) << device0.m_strOut;
    const std::vector<std::string> records = vecRecords(device0.m_strOut);
    ASSERT_EQ(2U, records.size()) << device0.m_strOut;
    // Newest first: the upgrade with its file, then the check with its steps.
    EXPECT_TRUE(fgHas(records[0], "\"kind\": \"upgrade\", \"outcome\": \"pass\"")) << records[0];
    EXPECT_TRUE(fgHas(records[0],
                      "{\"name\": \"kernel.bin\", \"type\": \"kernel\", \"bytes\": 3, "
                      "\"sha256\": \"ba7816bf8f01cfea414140de5dae2223b00361a396177a9c"
                      "b410ff61f20015ad\"}"))
        << records[0];
    EXPECT_TRUE(fgHas(records[1], "\"kind\": \"check\", \"outcome\": \"pass\"")) << records[1];
    EXPECT_TRUE(fgHas(records[1], "{\"name\": \"uid\", \"outcome\": \"pass\"")) << records[1];
    EXPECT_TRUE(fgHas(records[1], "{\"name\": \"video\", \"outcome\": \"skipped\"")) << records[1];
    for (const std::string& record : records) {
        EXPECT_TRUE(fgHas(record, "\"station\": \"bench-7\", \"operator\": \"Anna O'Neil\"") &&
                    fgHas(record, std::string("\"uid\": \"") + kUid0 +
                                      "\", \"mac\": \"02:4B:53:00:00:01\", \"address\": "
                                      "\"127.0.0.2\""))
            << record;
    }

    // The failed check of device 1, by its MAC; the UID change of device 2, by address.
    const CRun byMac = cli(db, "history 02-4b-53-00-00-02");
    EXPECT_TRUE(fgHas(byMac.m_strOut, " check ") && fgHas(byMac.m_strOut, " fail ") &&
                fgHas(byMac.m_strOut, "    uid: "))
        << byMac.m_strOut;
    const CRun byAddress = cli(db, "history 127.0.0.4 --kind set-uid --csv");
    EXPECT_TRUE(fgHas(byAddress.m_strOut, ",set-uid,pass,UID ABCDEFGHIJ0123456789,"))
        << byAddress.m_strOut;
    const CRun bench = cli(db, "history --since 2000-01-01 --json");
    EXPECT_EQ(4U, vecRecords(bench.m_strOut).size()) << bench.m_strOut;
    const CRun future = cli(db, "history --since 2999-01-01 --json");
    EXPECT_EQ("[]\n", future.m_strOut);
    EXPECT_EQ(2, cli(db, "history --since yesterday").m_iExit);
}

TEST_F(HistoryE2e, TwoStationsShareAServerAndARunWhileItIsDownArrivesLater) {
    std::string reason;
    const std::unique_ptr<CPgServer> server = CPgServer::psStart(reason);
    if (!server) {
        GTEST_SKIP() << reason;
    }
    const std::string url = server->strCreateDatabase("factory");
    const auto station = [this, &url](const std::string& name) {
        return "--db sqlite:" + m_dir.file(name + ".sqlite") + " --db '" + url + "' --station " +
               name;
    };
    EXPECT_EQ(0, cli(station("bench-a"), check("127.0.0.2")).m_iExit);
    EXPECT_EQ(0, cli(station("bench-b"), check("127.0.0.2")).m_iExit);
    const CRun together = cli(station("bench-b"), std::string("history ") + kUid0);
    EXPECT_TRUE(fgHas(together.m_strOut, " bench-a ") && fgHas(together.m_strOut, " bench-b "))
        << together.m_strOut;

    // The server goes away: the check still ends as before and says what waits.
    ASSERT_TRUE(server->fgStop());
    const CRun down = cli(station("bench-a"), check("127.0.0.3"));
    EXPECT_EQ(3, down.m_iExit) << down.m_strOut;
    EXPECT_TRUE(fgHas(down.m_strOut, "history: 1 record(s) wait for the server")) << down.m_strOut;
    const CRun localOnly = cli(station("bench-a"), "history 127.0.0.3");
    EXPECT_TRUE(fgHas(localOnly.m_strOut, "the server did not answer")) << localOnly.m_strOut;
    EXPECT_TRUE(fgHas(localOnly.m_strOut, " bench-a ")) << localOnly.m_strOut;

    // Back: the next run of that station hands it over, once.
    ASSERT_TRUE(server->fgStart());
    EXPECT_EQ(0, cli(station("bench-a"), check("127.0.0.2")).m_iExit);
    const CRun fromB = cli(station("bench-b"), "history --json");
    const std::vector<std::string> all = vecRecords(fromB.m_strOut);
    EXPECT_EQ(4U, all.size()) << fromB.m_strOut;
    int device1 = 0;
    for (const std::string& record : all) {
        device1 += fgHas(record, std::string("\"uid\": \"") + "KSIM-bad") ? 1 : 0;
    }
    EXPECT_EQ(1, device1) << fromB.m_strOut;
}

}  // namespace
