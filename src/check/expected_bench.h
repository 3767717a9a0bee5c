#pragma once

// The bench a line expects: a number of devices, or a list of the devices by UID or
// MAC address; and how a search compares with it.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct CDevInfo;

struct CExpectedBench {
    std::size_t m_iCount = 0;  // devices expected
    // The listed devices (empty when only a count was given): each a UID or a MAC, as
    // written in the list (the comparison ignores case, blanks and separators in MACs).
    std::vector<std::string> m_devices;
};

// "N" (1 to 100,000) is a count; anything else names a CSV file: one device per line,
// its UID or MAC in the first column; blank lines, lines starting with '#' and a first
// line whose first column reads "uid" or "mac" are skipped. nullopt with the reason in
// error when the text is neither or the file cannot be read or lists nobody.
std::optional<CExpectedBench> sLoadExpectedBench(const std::string& countOrFile,
                                                 std::string& error);
// The list part of a file's text (what sLoadExpectedBench does after reading it).
CExpectedBench sParseExpectedList(std::string_view csvText);

// A found device as the comparison sees it.
struct CFoundDevice {
    std::string m_strIp;
    std::string m_strUid;
    std::string m_strMac;
};

struct CBenchComparison {
    std::size_t m_iFound = 0;
    std::size_t m_iExpected = 0;
    std::vector<std::string> m_missing;      // listed entries nobody matched
    std::vector<CFoundDevice> m_unexpected;  // found devices the list does not name
    bool fgComplete() const { return m_missing.empty() && m_iFound >= m_iExpected; }
};

// Compares what a search found with the expected bench. With a count, only the
// numbers are compared; with a list, a found device matches an entry by its UID, or by
// its MAC (its wired or Wi-Fi one, given as found).
CBenchComparison sCompareBench(const CExpectedBench& expected,
                               const std::vector<CFoundDevice>& found);

// The devices of a search, as the comparison sees them.
std::vector<CFoundDevice> vecFoundDevices(const std::vector<CDevInfo>& devices);

// "found 98 of 100" and, one per line, "missing: X" and "unexpected: IP UID MAC".
std::string strBenchSummary(const CBenchComparison& comparison);
