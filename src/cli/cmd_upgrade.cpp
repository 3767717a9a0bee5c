#include "cli/cmd_upgrade.h"

#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>

#include "app/shown_text.h"
#include "cli/cli_runner.h"
#include "protocol/dev_list_format.h"
#include "protocol/lan_station.h"

namespace {

constexpr int kWaveMax = 5000;
constexpr int kVerifySecondsMax = 3600;
const char* const kTypeNames = "uboot, env, kernel, rootfs, config, app or others";

// Collects the upgrade's reports as lines; the command's own thread prints them, so
// the workers never write to stdout.
class CCliUpgradeView final : public IUpgradeView {
  public:
    void vOnUpgradeEvent(const CUpgEvent& event) override { (void)event; }
    void vOnUpgradeDeviceState(const CUpgDeviceResult& device) override {
        vPost(strUpgStateLine(device));
    }
    void vOnUpgradeSummary(const CUpgSummary& summary) override {
        const std::string text = strUpgSummaryLine(summary);
        const std::lock_guard lock(m_lock);
        std::size_t start = 0;
        while (start < text.size()) {
            const std::size_t end = text.find("\r\n", start);
            if (std::string line = text.substr(start, end - start); !line.empty()) {
                m_lines.push_back(std::move(line));
            }
            if (end == std::string::npos) {
                break;
            }
            start = end + 2;
        }
        m_fgOver = true;
        m_changed.notify_all();
    }

    // Prints the lines as they come until the run's summary has been printed.
    void vPrintUntilOver(std::ostream& out) {
        for (;;) {
            std::deque<std::string> lines;
            bool over = false;
            {
                std::unique_lock lock(m_lock);
                m_changed.wait(lock, [this] { return !m_lines.empty() || m_fgOver; });
                lines.swap(m_lines);
                over = m_fgOver;
            }
            for (const std::string& line : lines) {
                out << line << '\n';
            }
            out.flush();
            if (over) {
                return;
            }
        }
    }

  private:
    void vPost(std::string line) {
        const std::lock_guard lock(m_lock);
        m_lines.push_back(std::move(line));
        m_changed.notify_all();
    }

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<std::string> m_lines;  // a few per device: one per state change
    bool m_fgOver = false;
};

std::string strSeconds(std::chrono::milliseconds elapsed) {
    char text[32] = {};
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(elapsed.count()) / 1000.0);
    return text;
}

void vPrintTable(const std::vector<CUpgDeviceResult>& devices, EListFormat format,
                 std::ostream& out) {
    if (format == EListFormat::kJson) {
        out << "[";
        for (std::size_t i = 0; i < devices.size(); ++i) {
            const CUpgDeviceResult& d = devices[i];
            const std::string reason =
                d.m_eReason == EUpgReason::kNone ? std::string() : strUpgReasonText(d);
            out << (i == 0 ? "\n  {" : ",\n  {") << "\"address\": \"" << d.m_strDevice
                << "\", \"uid\": " << strJsonString(d.m_strUid)
                << ", \"files\": " << d.m_files.size() << ", \"bytes\": " << d.m_ulBytesSent
                << ", \"verdict\": \"" << strUpgOutcomeName(d.m_eOutcome)
                << "\", \"reason\": " << strJsonString(reason)
                << ", \"version_before\": " << strJsonString(d.m_strVersionBefore)
                << ", \"version_after\": " << strJsonString(d.m_strVersionAfter)
                << ", \"seconds\": " << strSeconds(d.m_elapsed) << "}";
        }
        out << (devices.empty() ? "]\n" : "\n]\n");
        return;
    }
    char line[512] = {};
    std::snprintf(line, sizeof line, "%-15s %-20s %5s %12s %-11s %7s  %s\n", "ADDRESS", "UID",
                  "FILES", "BYTES", "VERDICT", "SECONDS", "REASON");
    out << line;
    for (const CUpgDeviceResult& d : devices) {
        const std::string reason =
            d.m_eReason == EUpgReason::kNone ? std::string() : strUpgReasonText(d);
        // Device texts are shown as a JSON string would carry them: no control bytes.
        std::string uid = d.m_strUid.empty() ? "-" : strJsonString(d.m_strUid);
        if (!d.m_strUid.empty()) {
            uid = uid.substr(1, uid.size() - 2);
        }
        std::snprintf(line, sizeof line, "%-15s %-20s %5zu %12llu %-11s %7s  %s\n",
                      d.m_strDevice.c_str(), uid.c_str(), d.m_files.size(),
                      static_cast<unsigned long long>(d.m_ulBytesSent),
                      strUpgOutcomeName(d.m_eOutcome).c_str(), strSeconds(d.m_elapsed).c_str(),
                      reason.c_str());
        out << line;
    }
}

std::optional<int> sWholeNumber(const std::string& text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low ||
        value > high) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<CUpgradeArgs> sParseUpgradeArgs(const std::vector<std::string>& args,
                                              std::string& error) {
    CUpgradeArgs parsed;
    bool inTargets = false;
    bool verifyTimeoutGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool valued = arg == "--type" || arg == "--wave" || arg == "--stop-after" ||
                            arg == "--expect-version" || arg == "--verify-timeout" ||
                            arg == "--expect";
        if (valued && i + 1 >= args.size()) {
            error = arg + " needs a value";
            return std::nullopt;
        }
        if (arg == "--to") {
            inTargets = true;
            continue;
        }
        if (arg == "--all") {
            parsed.m_fgAll = true;
        } else if (arg == "--expect") {
            parsed.m_expected = sLoadExpectedBench(args[++i], error);
            if (!parsed.m_expected) {
                return std::nullopt;
            }
        } else if (arg == "--type") {
            parsed.m_iType = iUpgTypeFromName(args[++i]);
            if (parsed.m_iType == -2) {
                error = std::string("--type wants ") + kTypeNames + ", not '" + args[i] + "'";
                return std::nullopt;
            }
        } else if (arg == "--wave" || arg == "--stop-after") {
            const std::optional<int> number = sWholeNumber(args[++i], 1, kWaveMax);
            if (!number) {
                error = arg + " wants a number from 1 to " + std::to_string(kWaveMax);
                return std::nullopt;
            }
            (arg == "--wave" ? parsed.m_plan.m_iWave : parsed.m_plan.m_iStopAfter) = *number;
        } else if (arg == "--expect-version") {
            parsed.m_plan.m_strExpectVersion = args[++i];
            if (parsed.m_plan.m_strExpectVersion.empty()) {
                error = "--expect-version wants a version text";
                return std::nullopt;
            }
        } else if (arg == "--verify-timeout") {
            const std::optional<int> seconds = sWholeNumber(args[++i], 1, kVerifySecondsMax);
            if (!seconds) {
                error =
                    "--verify-timeout wants seconds from 1 to " + std::to_string(kVerifySecondsMax);
                return std::nullopt;
            }
            parsed.m_plan.m_verifyTimeout = std::chrono::seconds(*seconds);
            verifyTimeoutGiven = true;
        } else if (arg.starts_with("--")) {
            error = "upgrade does not know " + arg;
            return std::nullopt;
        } else if (inTargets) {
            std::uint32_t addrNet = 0;
            if (!fgParseIp(arg, addrNet)) {
                error = "'" + arg + "' is not an IPv4 address";
                return std::nullopt;
            }
            parsed.m_targets.push_back(arg);
            continue;
        } else {
            parsed.m_files.push_back(arg);
            continue;
        }
        inTargets = false;
    }
    if (parsed.m_files.empty()) {
        error = "upgrade needs at least one FILE";
    } else if (parsed.m_fgAll == !parsed.m_targets.empty()) {
        error = "upgrade needs either --to IP... or --all";
    } else if (parsed.m_files.size() > static_cast<std::size_t>(kUpgFilesMax)) {
        error = "upgrade sends at most 8 files";
    } else if (parsed.m_expected && !parsed.m_fgAll) {
        error = "--expect goes with --all";
    } else if (verifyTimeoutGiven && parsed.m_plan.m_strExpectVersion.empty()) {
        error = "--verify-timeout goes with --expect-version";
    } else {
        return parsed;
    }
    return std::nullopt;
}

std::vector<std::string> vecUpgFileFaults(const CUpgradeArgs& args) {
    std::vector<std::string> faults;
    for (const std::string& path : args.m_files) {
        std::string problem = strUpgFileProblem(path);
        if (problem.empty() && args.m_iType != static_cast<int>(kUpgTypeOthers)) {
            const int code = iGetFileType(path);
            if (code < 0) {
                problem =
                    "is of no accepted type (its path names none of config_info, ipcupg, "
                    "kernel, rootfs, uboot, env; --type others sends it as it is)";
            } else if (args.m_iType != kUpgTypeByPath && code != args.m_iType) {
                problem = "is not of the type asked for with --type";
            }
        }
        if (!problem.empty()) {
            faults.push_back(path + ": " + problem);
        }
    }
    return faults;
}

int iUpgradeCommand(const CCliOptions& options, CLanStation& lan, const FnUpgSearch& searchAll,
                    std::ostream& out, std::ostream& err, const CUpgOptions& upgOptions,
                    const FnUpgradeRunEnd& onRunEnd) {
    std::string error;
    const std::optional<CUpgradeArgs> args = sParseUpgradeArgs(options.m_args, error);
    if (!args) {
        err << "kestrel-cli: " << error << '\n';
        return kCliUsage;
    }
    // Every file is vetted before any device is contacted.
    const std::vector<std::string> faults = vecUpgFileFaults(*args);
    for (const std::string& fault : faults) {
        err << "kestrel-cli: " << fault << '\n';
    }
    if (!faults.empty()) {
        err << "kestrel-cli: nothing was sent\n";
        return kCliUsage;
    }
    const CUpgChoice choice = sChooseUpgFiles(args->m_files, args->m_iType);
    std::vector<std::string> targets = args->m_targets;
    bool benchComplete = true;
    if (args->m_fgAll) {
        CUpgSearch found = searchAll(args->m_expected);
        targets = std::move(found.m_addresses);
        if (found.m_bench) {
            // With --json, standard output carries the array alone.
            (options.m_eFormat == EListFormat::kJson ? err : out)
                << strShownText(strBenchSummary(*found.m_bench), ELineBreaks::kKeep);
            benchComplete = found.m_bench->fgComplete();
        }
    }
    if (targets.empty()) {
        err << "kestrel-cli: no device to upgrade\n";
        return kCliNoAnswer;
    }

    CCliUpgradeView view;
    std::vector<CUpgDeviceResult> devices;
    {
        CUpgrader upgrader(lan.transport(), view, upgOptions);
        lan.transport().vSetUpgradeAcceptHandler(upgrader.fnAcceptHandler());
        if (upgrader.iStartUpgrade(choice.m_files, targets, args->m_plan) > 0) {
            // With --json, standard output carries the array alone.
            view.vPrintUntilOver(options.m_eFormat == EListFormat::kJson ? err : out);
        }
        devices = upgrader.vecRunDevices();
        // The listener's reader points at the upgrader: stop receiving before it goes.
        lan.vStop();
    }
    if (onRunEnd) {
        onRunEnd(choice.m_files, devices);
    }
    vPrintTable(devices, options.m_eFormat, out);
    std::size_t succeeded = 0;
    std::size_t unreached = 0;
    for (const CUpgDeviceResult& device : devices) {
        succeeded += device.m_eOutcome == EUpgOutcome::kSucceeded ? 1 : 0;
        unreached += device.m_eOutcome == EUpgOutcome::kNoAnswer ? 1 : 0;
    }
    if (!devices.empty() && succeeded == devices.size()) {
        return benchComplete ? kCliOk : kCliDeviceFailed;
    }
    return unreached == devices.size() ? kCliNoAnswer : kCliDeviceFailed;
}
