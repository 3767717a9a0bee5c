// The verb table against what reads it: the usage text, the parser and the verbs' units.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_runner.h"
#include "cli/cli_verbs.h"

namespace {

// One valid command line per verb: every row must have one, and it must parse.
const std::map<std::string, std::vector<std::string>>& mapExamples() {
    static const std::map<std::string, std::vector<std::string>> examples{
        {"search", {}},
        {"login", {"10.0.0.2"}},
        {"restart", {"10.0.0.2"}},
        {"reset", {"10.0.0.2"}},
        {"format-sd", {"10.0.0.2"}},
        {"set-uid", {"10.0.0.2", "ABCDEFGHIJ0123456789"}},
        {"set-password", {"10.0.0.2", "new"}},
        {"set-net",
         {"10.0.0.2", "wired", "10.0.0.9", "255.255.255.0", "10.0.0.1", "10.0.0.1", "static"}},
        {"wifi-connect", {"10.0.0.2", "bench", "secret", "4"}},
        {"qr", {"ABCDEFGHIJ0123456789", "uid.png"}},
        {"stream", {"10.0.0.2"}},
        {"video-params", {"10.0.0.2"}},
        {"motor", {"10.0.0.2", "position"}},
        {"listen", {"10.0.0.2", "--out", "a.wav"}},
        {"snapshot", {"10.0.0.2", "a.png"}},
        {"horn", {"10.0.0.2"}},
        {"check", {"--report", "out"}},
        {"upgrade", {"fw.bin", "--to", "10.0.0.2"}},
        {"config", {"10.0.0.2"}},
        {"config-set", {"10.0.0.2", "a=b"}},
        {"sensors", {"10.0.0.2"}},
        {"log", {"10.0.0.2"}},
        {"key", {"10.0.0.2", "1"}},
        {"history", {"KSIM00000000001DEVAA", "--json"}},
    };
    return examples;
}

}  // namespace

TEST(CliVerbs, EveryVerbIsInTheUsageParsesAndIsFoundForDispatch) {
    const std::string usage = strCliUsage();
    std::set<std::string> names;
    for (const CCliVerb& verb : spanCliVerbs()) {
        const std::string name(verb.m_name);
        EXPECT_TRUE(names.insert(name).second) << name << " twice in the table";
        EXPECT_TRUE(verb.m_usage.starts_with("  " + name + " ")) << name;
        EXPECT_TRUE(verb.m_usage.ends_with("\n")) << name;
        EXPECT_NE(usage.find(verb.m_usage), std::string::npos) << name;
        EXPECT_EQ(psFindCliVerb(name), &verb);

        const auto example = mapExamples().find(name);
        ASSERT_NE(example, mapExamples().end()) << name << " has no example here";
        std::vector<std::string> args{name};
        args.insert(args.end(), example->second.begin(), example->second.end());
        const CCliParse parsed = sParseCliArgs(args);
        ASSERT_TRUE(parsed.m_options) << name << ": " << parsed.m_strError;
        EXPECT_EQ(parsed.m_options->m_strCommand, name);
        EXPECT_EQ(parsed.m_options->m_args, example->second);
    }
    EXPECT_EQ(names.size(), mapExamples().size()) << "an example of a verb no longer there";
    EXPECT_EQ(psFindCliVerb("frobnicate"), nullptr);

    CCliOptions unknown;
    unknown.m_strCommand = "frobnicate";
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(iRunCli(unknown, out, err), kCliUsage);
    EXPECT_EQ(out.str(), "");
}

// A verb's unit is src/cli/cmd_<name>.cpp (dashes as underscores), and its helper units
// cmd_<name>_<more>.cpp; a unit without its row would be a verb nobody can call.
TEST(CliVerbs, EveryVerbUnitHasItsRow) {
    const std::filesystem::path folder = std::filesystem::path(KESTREL_SOURCE_DIR) / "src/cli";
    int units = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string file = entry.path().filename().string();
        if (!file.starts_with("cmd_") || entry.path().extension() != ".cpp") {
            continue;
        }
        std::string name = file.substr(4, file.size() - 4 - 4);
        for (char& c : name) {
            c = c == '_' ? '-' : c;
        }
        bool found = false;
        for (size_t end = name.size(); !found && end != std::string::npos;
             end = end == 0 ? std::string::npos : name.rfind('-', end - 1)) {
            found = psFindCliVerb(name.substr(0, end)) != nullptr;
        }
        ++units;
        EXPECT_TRUE(found) << file << " has no row in the verb table";
    }
    EXPECT_GT(units, 10);
}
