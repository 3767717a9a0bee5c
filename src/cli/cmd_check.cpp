#include "cli/cmd_check.h"

#include <arpa/inet.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <ctime>
#include <mutex>

#include "app/file_util.h"
#include "app/shown_text.h"
#include "app/str_util.h"
#include "check/check_report.h"
#include "check/line_check.h"
#include "cli/cli_runner.h"
#include "cli/cli_session.h"
#include "media/horn_test.h"
#include "protocol/lan_station.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kParallelMax = 256;
constexpr int kLimitMaxSeconds = 24 * 3600;

struct CCheckArgs {
    std::optional<CExpectedBench> m_expected;
    CLineCheckOptions m_check;
    std::string m_strReport;
    std::vector<std::uint32_t> m_addresses;
    bool m_fgStepsGiven = false;
};

bool fgParseNumber(const std::string& text, int low, int high, int& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, code] = std::from_chars(text.data(), end, value);
    return code == std::errc() && ptr == end && value >= low && value <= high;
}

bool fgParseSteps(const std::string& list, CCheckSteps& steps, std::string& error) {
    steps.reset();
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find(',', start), list.size());
        const std::string name = list.substr(start, end - start);
        const std::optional<ECheckStep> step = sStepByName(name);
        if (!step || *step == ECheckStep::kSearch) {
            error = "--steps knows login,uid,version,sd,wifi,video,audio,horn, not '" + name + "'";
            return false;
        }
        steps.set(static_cast<std::size_t>(*step));
        start = end + 1;
    }
    return true;
}

std::optional<CCheckArgs> sParseCheckArgs(const std::vector<std::string>& args,
                                          std::string& error) {
    CCheckArgs parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!arg.starts_with("--")) {
            std::uint32_t addr = 0;
            if (!fgParseIp(arg, addr)) {
                error = "'" + arg + "' is not an IPv4 address";
                return std::nullopt;
            }
            parsed.m_addresses.push_back(addr);
            continue;
        }
        if (i + 1 >= args.size()) {
            error = arg + " needs a value";
            return std::nullopt;
        }
        const std::string& value = args[++i];
        CLineCheckOptions& check = parsed.m_check;
        int seconds = 0;
        if (arg == "--expect") {
            parsed.m_expected = sLoadExpectedBench(value, error);
            if (!parsed.m_expected) {
                return std::nullopt;
            }
        } else if (arg == "--version") {
            check.m_strVersion = value;
        } else if (arg == "--steps") {
            if (!fgParseSteps(value, check.m_steps, error)) {
                return std::nullopt;
            }
            parsed.m_fgStepsGiven = true;
        } else if (arg == "--parallel") {
            if (!fgParseNumber(value, 1, kParallelMax, check.m_iParallel)) {
                error = "--parallel wants 1 to " + std::to_string(kParallelMax);
                return std::nullopt;
            }
        } else if (arg == "--stream") {
            if (value != "main" && value != "sub") {
                error = "--stream wants main or sub, not '" + value + "'";
                return std::nullopt;
            }
            check.m_iStreamId = value == "main" ? kStreamMain : kStreamSub;
        } else if (arg == "--horn-file") {
            check.m_strHornFile = value;
        } else if (arg == "--limit") {
            if (!fgParseNumber(value, 1, kLimitMaxSeconds, seconds)) {
                error = "--limit wants 1 to " + std::to_string(kLimitMaxSeconds) + " seconds";
                return std::nullopt;
            }
            check.m_iRunLimitMs = seconds * 1000;
        } else if (arg == "--report") {
            parsed.m_strReport = value;
        } else {
            error = "unknown check option " + arg;
            return std::nullopt;
        }
    }
    CLineCheckOptions& check = parsed.m_check;
    if (!parsed.m_fgStepsGiven) {
        for (const ECheckStep step : {ECheckStep::kLogin, ECheckStep::kUid, ECheckStep::kVideo}) {
            check.m_steps.set(static_cast<std::size_t>(step));
        }
        check.m_steps.set(static_cast<std::size_t>(ECheckStep::kVersion),
                          !check.m_strVersion.empty());
    }
    if (check.m_steps.test(static_cast<std::size_t>(ECheckStep::kVersion)) &&
        check.m_strVersion.empty()) {
        error = "the version step wants --version V";
        return std::nullopt;
    }
    if (parsed.m_strReport.empty()) {
        error = "check wants --report DIR";
        return std::nullopt;
    }
    if (check.m_strHornFile.empty()) {
        check.m_strHornFile = strFindDataFile(strGetExeDir(), kHornFileName);
    }
    return parsed;
}

// One line per finished device, from the check's worker threads.
class CCheckPrinter final : public ICheckProgress {
  public:
    explicit CCheckPrinter(std::ostream& out) : m_out(out) {}
    void vOnDeviceDone(const CDeviceCheck& row, int done, int total) override {
        std::string line = row.m_strIp + " " + (row.fgPassed() ? "PASS" : "FAIL") + " (" +
                           std::to_string(done) + "/" + std::to_string(total) + ", " +
                           std::to_string(row.m_lMs) + " ms)";
        for (std::size_t s = 0; s < kCheckStepCount; ++s) {
            const CStepResult& step = row.m_steps[s];
            if (step.m_eOutcome == EStepOutcome::kFail) {
                line += " " + std::string(strStepName(static_cast<ECheckStep>(s))) + ": " +
                        step.m_strReason + ";";
            }
        }
        std::lock_guard guard(m_lock);
        m_out << strShownText(line) << '\n' << std::flush;
    }

  private:
    std::mutex m_lock;
    std::ostream& m_out;
};

std::string strLocalTime(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

}  // namespace

std::optional<CExpectedBench> sSearchExpectation(const CCliOptions& options, std::ostream& err,
                                                 bool& usageError) {
    usageError = false;
    if (options.m_args.empty()) {
        return std::nullopt;
    }
    std::string error;
    std::optional<CExpectedBench> expected;
    if (options.m_args.size() != 2 || options.m_args[0] != "--expect") {
        error = "search takes only --expect N|FILE";
    } else {
        expected = sLoadExpectedBench(options.m_args[1], error);
    }
    if (!expected) {
        err << "kestrel-cli: " << error << '\n';
        usageError = true;
    }
    return expected;
}

int iPrintBench(const CExpectedBench& expected, const std::vector<CDevInfo>& devices,
                std::ostream& out) {
    const CBenchComparison comparison = sCompareBench(expected, vecFoundDevices(devices));
    out << strShownText(strBenchSummary(comparison), ELineBreaks::kKeep);
    return comparison.fgComplete() ? kCliOk : kCliDeviceFailed;
}

int iCheckCommand(const CCliOptions& options, std::ostream& out, std::ostream& err) {
    std::string error;
    std::optional<CCheckArgs> args = sParseCheckArgs(options.m_args, error);
    if (!args) {
        err << "kestrel-cli: " << error << '\n';
        return kCliUsage;
    }
    CCliView view;
    CLoginReplies replies;
    CLanStation lan(view);
    if (!lan.fgStart(options.m_binds, &replies)) {
        err << "kestrel-cli: cannot open the station's sockets\n";
        return kCliSetupFailed;
    }
    CStation& station = lan.station();
    station.vSetPassword(options.m_strPassword);
    const std::size_t wanted = !args->m_addresses.empty() ? args->m_addresses.size()
                               : args->m_expected         ? args->m_expected->m_iCount
                                                          : 0;
    const std::chrono::milliseconds timeout(options.m_iTimeoutMs);
    const auto allFound = [&station, &args, wanted] {
        if (wanted == 0) {
            return false;
        }
        if (args->m_addresses.empty()) {
            return station.registry().vecActiveView().size() >= wanted;
        }
        return std::all_of(args->m_addresses.begin(), args->m_addresses.end(),
                           [&station](std::uint32_t addr) { return iRowOf(station, addr) >= 0; });
    };
    if (args->m_expected && args->m_addresses.empty()) {
        sSearchUntilExpected(station, *args->m_expected, timeout);
    } else {
        vSearchUntil(station, Clock::now() + timeout, allFound,
                     [&allFound, wanted] { return wanted > 0 && !allFound(); });
    }
    std::vector<CDevInfo> found = station.registry().vecActiveView();
    std::sort(found.begin(), found.end(), [](const CDevInfo& a, const CDevInfo& b) {
        return ntohl(a.m_uiIpAddr) < ntohl(b.m_uiIpAddr);
    });
    std::vector<CCheckTarget> targets;
    if (args->m_addresses.empty()) {
        for (const CDevInfo& device : found) {
            targets.push_back({device.m_uiIpAddr, device});
        }
    } else {
        for (const std::uint32_t addr : args->m_addresses) {
            const auto record = std::find_if(found.begin(), found.end(), [addr](const CDevInfo& d) {
                return d.m_uiIpAddr == addr;
            });
            targets.push_back(
                {addr, record == found.end() ? std::nullopt : std::optional<CDevInfo>(*record)});
        }
    }
    std::string benchText;
    bool benchComplete = true;
    if (args->m_expected) {
        const CBenchComparison comparison =
            sCompareBench(*args->m_expected, vecFoundDevices(found));
        benchText = strBenchSummary(comparison);
        benchComplete = comparison.fgComplete();
        out << strShownText(benchText, ELineBreaks::kKeep) << std::flush;
    }
    if (targets.empty()) {
        err << "kestrel-cli: no device to check\n";
        return kCliNoAnswer;
    }
    const std::time_t startedAt = std::time(nullptr);
    const std::string folder = strMakeReportFolder(args->m_strReport, startedAt, error);
    if (folder.empty()) {
        err << "kestrel-cli: " << error << '\n';
        return kCliSetupFailed;
    }
    args->m_check.m_strPassword = options.m_strPassword;
    args->m_check.m_strSnapshotDir = folder;
    const Clock::time_point start = Clock::now();
    CCheckPrinter printer(out);
    CLineCheck check(lan.transport(), replies, args->m_check);
    CCheckReport report;
    report.m_rows = check.vecRun(targets, &printer);
    report.m_lMs = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    report.m_strStarted = strLocalTime(startedAt);
    report.m_strBench = benchText;
    if (!fgWriteCheckReport(folder, report, error)) {
        err << "kestrel-cli: " << error << '\n';
        return kCliSetupFailed;
    }
    const auto passed = std::count_if(report.m_rows.begin(), report.m_rows.end(),
                                      [](const CDeviceCheck& row) { return row.fgPassed(); });
    out << "passed " << passed << " of " << report.m_rows.size() << " devices\n"
        << "report: " << folder << '\n';
    return benchComplete && static_cast<std::size_t>(passed) == report.m_rows.size()
               ? kCliOk
               : kCliDeviceFailed;
}
