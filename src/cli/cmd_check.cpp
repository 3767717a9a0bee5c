#include "cli/cmd_check.h"

#include <arpa/inet.h>

#include <algorithm>
#include <charconv>
#include <chrono>

#include "app/file_util.h"
#include "app/shown_text.h"
#include "app/str_util.h"
#include "check/check_report.h"
#include "check/line_check.h"
#include "check/line_check_run.h"
#include "cli/cli_runner.h"
#include "cli/cli_session.h"
#include "cli/cmd_history.h"
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

// One line per finished device, on the thread that runs the check, one at a time.
class CCheckPrinter final : public ICheckProgress {
  public:
    explicit CCheckPrinter(std::ostream& out) : m_out(out) {}
    void vOnDeviceDone(const CDeviceCheck& row, int done, int total) override {
        m_out << strShownText(strDeviceDoneLine(row, done, total)) << '\n' << std::flush;
    }

  private:
    std::ostream& m_out;
};

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
    CLanStation lan(view);
    if (!lan.fgStart(options.m_binds)) {
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
    args->m_check.m_strPassword = options.m_strPassword;
    CLineCheckRun run(lan.transport(), args->m_check);
    if (!run.fgPrepare(args->m_strReport, error)) {
        err << "kestrel-cli: " << error << '\n';
        return kCliSetupFailed;
    }
    CCheckPrinter printer(out);
    const CLineCheckRunEnd end = run.sRun(targets, benchText, &printer);
    const CCliHistory history(options);
    std::vector<CDeviceRecord> records;
    for (const CDeviceCheck& row : end.m_rows) {
        records.push_back(sCheckRecord(history.context(), row));
    }
    history.vRecord(records, err);
    if (end.m_strFolder.empty()) {
        err << "kestrel-cli: " << end.m_strError << '\n';
        return kCliSetupFailed;
    }
    out << "passed " << end.m_lPassed << " of " << end.m_rows.size() << " devices\n"
        << "report: " << end.m_strFolder << '\n';
    return benchComplete && end.m_lFailed == 0 ? kCliOk : kCliDeviceFailed;
}
