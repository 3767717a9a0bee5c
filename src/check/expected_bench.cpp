#include "check/expected_bench.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "protocol/dev_info.h"

namespace {

constexpr std::size_t kCountMax = 100'000;
constexpr std::size_t kFileBytesMax = 16 * 1024 * 1024;

std::string_view svTrim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())) != 0) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())) != 0) {
        text.remove_suffix(1);
    }
    return text;
}

// Upper case without blanks; a MAC also loses its separators and leading zeros per
// byte, so "0a:1b:..." and "A  :1B : ..." compare equal.
std::string strKey(std::string_view text) {
    std::string key;
    std::string part;
    const bool isMac =
        text.find(':') != std::string_view::npos || text.find('-') != std::string_view::npos;
    auto flush = [&] {
        const std::size_t first = part.find_first_not_of('0');
        key += first == std::string::npos ? "0" : part.substr(first);
        key += ':';
        part.clear();
    };
    for (const char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)) != 0) {
            continue;
        }
        if (isMac && (c == ':' || c == '-')) {
            flush();
            continue;
        }
        (isMac ? part : key) += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (isMac) {
        flush();
    }
    return key;
}

}  // namespace

CExpectedBench sParseExpectedList(std::string_view csvText) {
    CExpectedBench bench;
    bool firstLine = true;
    while (!csvText.empty()) {
        const std::size_t end = csvText.find('\n');
        std::string_view line = csvText.substr(0, end);
        csvText.remove_prefix(end == std::string_view::npos ? csvText.size() : end + 1);
        const std::string_view column = svTrim(line.substr(0, line.find(',')));
        const bool header = firstLine && (strKey(column) == "UID" || strKey(column) == "MAC");
        firstLine = false;
        if (column.empty() || column.front() == '#' || header) {
            continue;
        }
        bench.m_devices.emplace_back(column);
    }
    bench.m_iCount = bench.m_devices.size();
    return bench;
}

std::optional<CExpectedBench> sLoadExpectedBench(const std::string& countOrFile,
                                                 std::string& error) {
    std::size_t count = 0;
    const char* end = countOrFile.data() + countOrFile.size();
    const auto [stop, code] = std::from_chars(countOrFile.data(), end, count);
    if (code == std::errc() && stop == end) {
        if (count < 1 || count > kCountMax) {
            error = "--expect wants 1 to " + std::to_string(kCountMax) + " devices";
            return std::nullopt;
        }
        return CExpectedBench{count, {}};
    }
    std::error_code sizeError;
    const std::uintmax_t fileBytes = std::filesystem::file_size(countOrFile, sizeError);
    std::ifstream file(countOrFile, std::ios::binary);
    if (sizeError || !file) {
        error = "--expect: cannot read " + countOrFile;
        return std::nullopt;
    }
    if (fileBytes > kFileBytesMax) {
        error = "--expect: " + countOrFile + " is larger than 16 MiB";
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(fileBytes), '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(file.gcount()));
    CExpectedBench bench = sParseExpectedList(text);
    if (bench.m_devices.empty()) {
        error = "--expect: " + countOrFile + " lists no device";
        return std::nullopt;
    }
    return bench;
}

CBenchComparison sCompareBench(const CExpectedBench& expected,
                               const std::vector<CFoundDevice>& found) {
    CBenchComparison comparison;
    comparison.m_iFound = found.size();
    comparison.m_iExpected = expected.m_iCount;
    if (expected.m_devices.empty()) {
        return comparison;
    }
    std::set<std::string> foundKeys;
    for (const CFoundDevice& device : found) {
        foundKeys.insert(strKey(device.m_strUid));
        foundKeys.insert(strKey(device.m_strMac));
    }
    std::set<std::string> listedKeys;
    for (const std::string& entry : expected.m_devices) {
        const std::string key = strKey(entry);
        listedKeys.insert(key);
        if (!foundKeys.contains(key)) {
            comparison.m_missing.push_back(entry);
        }
    }
    for (const CFoundDevice& device : found) {
        if (!listedKeys.contains(strKey(device.m_strUid)) &&
            !listedKeys.contains(strKey(device.m_strMac))) {
            comparison.m_unexpected.push_back(device);
        }
    }
    // A list names each device once: matched entries are found devices.
    comparison.m_iFound = expected.m_devices.size() - comparison.m_missing.size();
    return comparison;
}

std::vector<CFoundDevice> vecFoundDevices(const std::vector<CDevInfo>& devices) {
    std::vector<CFoundDevice> found;
    found.reserve(devices.size());
    for (const CDevInfo& device : devices) {
        found.push_back({device.m_strIp, device.m_strUid, strShownMac(device)});
    }
    return found;
}

std::string strBenchSummary(const CBenchComparison& comparison) {
    std::ostringstream text;
    text << "found " << comparison.m_iFound << " of " << comparison.m_iExpected << '\n';
    for (const std::string& missing : comparison.m_missing) {
        text << "missing: " << missing << '\n';
    }
    for (const CFoundDevice& device : comparison.m_unexpected) {
        text << "unexpected: " << device.m_strIp << ' ' << device.m_strUid << ' ' << device.m_strMac
             << '\n';
    }
    return text.str();
}
