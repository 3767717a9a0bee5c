// How a search compares with the bench a line expects: by count, or by a list of UIDs
// or MACs written the way people and label printers write them.
#include <gtest/gtest.h>

#include "check/expected_bench.h"
#include "support/temp_dir.h"

namespace {

const std::vector<CFoundDevice> kFound{
    {"127.0.0.2", "KSIM00000000001DEVAA", "2  :4B : 53 : 0 : 0 : 1"},
    {"127.0.0.3", "KSIM00000000002DEVAA", "2  :4B : 53 : 0 : 0 : 2"},
    {"127.0.0.4", "KSIM00000000003DEVAA", "2  :4B : 53 : 0 : 0 : A"},
};

}  // namespace

TEST(ExpectedBench, ComparesTheSearchWithTheBench) {
    struct Case {
        const char* name;
        std::string list;  // empty: a count
        std::size_t count;
        std::string summary;
        bool complete;
    };
    const Case cases[] = {
        {"count reached", "", 3, "found 3 of 3\n", true},
        {"count short", "", 4, "found 3 of 4\n", false},
        {"more than counted", "", 2, "found 3 of 2\n", true},
        {"UIDs, one missing and one unexpected",
         "uid,station\nKSIM00000000001DEVAA,1\nksim00000000002devaa,2\nKSIM00000000009DEVAA,3\n", 0,
         "found 2 of 3\nmissing: KSIM00000000009DEVAA\n"
         "unexpected: 127.0.0.4 KSIM00000000003DEVAA 2  :4B : 53 : 0 : 0 : A\n",
         false},
        {"MACs with zeros, dashes, blanks and comments",
         "# bench 7\r\n02:4b:53:00:00:01\r\n\r\n 02-4B-53-00-00-02 \r\n02:4B:53:00:00:0a\r\n", 0,
         "found 3 of 3\n", true},
        {"UIDs and MACs mixed", "KSIM00000000001DEVAA\n02:4B:53:00:00:02\n", 0,
         "found 2 of 2\nunexpected: 127.0.0.4 KSIM00000000003DEVAA 2  :4B : 53 : 0 : 0 : A\n",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CExpectedBench bench =
            c.list.empty() ? CExpectedBench{c.count, {}} : sParseExpectedList(c.list);
        const CBenchComparison comparison = sCompareBench(bench, kFound);
        EXPECT_EQ(strBenchSummary(comparison), c.summary);
        EXPECT_EQ(comparison.fgComplete(), c.complete);
    }
}

TEST(ExpectedBench, LoadsACountOrAFileAndRefusesNonsense) {
    CTempDir dir;
    const std::string list = dir.write("bench.csv", "mac\n02:4B:53:00:00:01\n");
    const std::string empty = dir.write("empty.csv", "uid\n# nothing yet\n");
    std::string error;
    EXPECT_EQ(sLoadExpectedBench("100", error)->m_iCount, 100U);
    EXPECT_EQ(sLoadExpectedBench(list, error)->m_devices,
              std::vector<std::string>{"02:4B:53:00:00:01"});
    for (const std::string& bad : {std::string("0"), empty, dir.file("missing.csv")}) {
        error.clear();
        EXPECT_FALSE(sLoadExpectedBench(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}
