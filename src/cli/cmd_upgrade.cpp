#include "cli/cmd_upgrade.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

#include "cli/cli_runner.h"
#include "protocol/lan_station.h"
#include "upgrade/upgrader.h"

namespace {

constexpr auto kProgressPeriod = std::chrono::seconds(1);
constexpr auto kPollPeriod = std::chrono::milliseconds(100);

// Prints every result line at once, without its leading line break.
class CCliUpgradeView final : public IUpgradeView {
  public:
    explicit CCliUpgradeView(std::ostream& out) : m_out(out) {}

    void vOnUpgradeEvent(const CUpgEvent& event) override { vPrint(strUpgEventLine(event)); }
    void vOnUpgradeSummary(const CUpgSummary& summary) override {
        vPrint(strUpgSummaryLine(summary));
    }
    void vPrint(const std::string& text) {
        const std::lock_guard lock(m_lock);
        std::size_t start = 0;
        while (start < text.size()) {
            const std::size_t end = text.find("\r\n", start);
            const std::string line = text.substr(start, end - start);
            if (!line.empty()) {
                m_out << line << '\n';
            }
            if (end == std::string::npos) {
                break;
            }
            start = end + 2;
        }
        m_out.flush();
    }

  private:
    std::mutex m_lock;
    std::ostream& m_out;
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
            out << (i == 0 ? "\n  {" : ",\n  {") << "\"address\": \"" << d.m_strDevice
                << "\", \"files\": " << d.m_files.size() << ", \"bytes\": " << d.m_ulBytesSent
                << ", \"outcome\": \"" << strUpgOutcomeName(d.m_eOutcome) << "\", \"reason\": \""
                << strUpgReasonKey(d.m_eReason) << "\", \"seconds\": " << strSeconds(d.m_elapsed)
                << "}";
        }
        out << (devices.empty() ? "]\n" : "\n]\n");
        return;
    }
    char line[256] = {};
    std::snprintf(line, sizeof line, "%-15s %5s %12s %-10s %7s  %s\n", "ADDRESS", "FILES", "BYTES",
                  "OUTCOME", "SECONDS", "REASON");
    out << line;
    for (const CUpgDeviceResult& d : devices) {
        std::snprintf(line, sizeof line, "%-15s %5zu %12llu %-10s %7s  %s\n", d.m_strDevice.c_str(),
                      d.m_files.size(), static_cast<unsigned long long>(d.m_ulBytesSent),
                      strUpgOutcomeName(d.m_eOutcome).c_str(), strSeconds(d.m_elapsed).c_str(),
                      strUpgReasonKey(d.m_eReason).c_str());
        out << line;
    }
}

}  // namespace

std::optional<CUpgradeArgs> sParseUpgradeArgs(const std::vector<std::string>& args,
                                              std::string& error) {
    CUpgradeArgs parsed;
    bool inTargets = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--to") {
            inTargets = true;
        } else if (arg == "--all") {
            parsed.m_fgAll = true;
            inTargets = false;
        } else if (arg == "--type") {
            if (i + 1 >= args.size()) {
                error = "--type needs uboot, env, kernel, rootfs, config, app or others";
                return std::nullopt;
            }
            parsed.m_iType = iUpgTypeFromName(args[++i]);
            if (parsed.m_iType == -2) {
                error = "--type wants uboot, env, kernel, rootfs, config, app or others, not '" +
                        args[i] + "'";
                return std::nullopt;
            }
            inTargets = false;
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
        } else {
            parsed.m_files.push_back(arg);
        }
    }
    if (parsed.m_files.empty()) {
        error = "upgrade needs at least one FILE";
    } else if (parsed.m_fgAll == !parsed.m_targets.empty()) {
        error = "upgrade needs either --to IP... or --all";
    } else if (parsed.m_files.size() > static_cast<std::size_t>(kUpgFilesMax)) {
        error = "upgrade sends at most 8 files";
    } else {
        return parsed;
    }
    return std::nullopt;
}

int iUpgradeCommand(const CCliOptions& options, CLanStation& lan,
                    const std::function<std::vector<std::string>()>& searchAll, std::ostream& out,
                    std::ostream& err, const FnUpgradeRunEnd& onRunEnd) {
    std::string error;
    const std::optional<CUpgradeArgs> args = sParseUpgradeArgs(options.m_args, error);
    if (!args) {
        err << "kestrel-cli: " << error << '\n';
        return kCliUsage;
    }
    CCliUpgradeView view(out);
    const CUpgChoice choice = sChooseUpgFiles(args->m_files, args->m_iType);
    for (const std::string& rejected : choice.m_rejected) {
        CUpgEvent event = sUpgEvent(EUpgEvent::kFileRejected, {});
        event.m_strFile = rejected;
        view.vOnUpgradeEvent(event);
        err << "kestrel-cli: " << rejected << " is not of an accepted type\n";
    }
    if (choice.m_files.empty()) {
        return kCliUsage;
    }
    const std::vector<std::string> targets = args->m_fgAll ? searchAll() : args->m_targets;
    if (targets.empty()) {
        err << "kestrel-cli: no device to upgrade\n";
        return kCliNoAnswer;
    }

    int code = kCliOk;
    {
        CUpgrader upgrader(lan.transport(), view);
        lan.transport().vSetUpgradeAcceptHandler(upgrader.fnAcceptHandler());
        upgrader.iStartUpgrade(choice.m_files, targets);

        std::map<std::string, std::uint64_t> shown;
        auto nextProgress = std::chrono::steady_clock::now() + kProgressPeriod;
        while (upgrader.fgRunning()) {
            std::this_thread::sleep_for(kPollPeriod);
            if (std::chrono::steady_clock::now() < nextProgress) {
                continue;
            }
            nextProgress += kProgressPeriod;
            for (const CUpgDeviceResult& device : upgrader.vecRunDevices()) {
                if (device.m_eOutcome != EUpgOutcome::kRunning || device.m_ulBytesTotal == 0 ||
                    shown[device.m_strDevice] == device.m_ulBytesSent) {
                    continue;
                }
                shown[device.m_strDevice] = device.m_ulBytesSent;
                view.vPrint(
                    "progress " + device.m_strDevice + " " + std::to_string(device.m_ulBytesSent) +
                    "/" + std::to_string(device.m_ulBytesTotal) + " bytes (" +
                    std::to_string(device.m_ulBytesSent * 100 / device.m_ulBytesTotal) + "%)");
            }
        }
        const std::vector<CUpgDeviceResult> devices = upgrader.vecRunDevices();
        if (onRunEnd) {
            onRunEnd(choice.m_files, devices);
        }
        vPrintTable(devices, options.m_eFormat, out);
        int succeeded = 0;
        int noAnswer = 0;
        for (const CUpgDeviceResult& device : devices) {
            succeeded += device.m_eOutcome == EUpgOutcome::kSucceeded ? 1 : 0;
            noAnswer += device.m_eOutcome == EUpgOutcome::kNoAnswer ? 1 : 0;
        }
        code = succeeded == static_cast<int>(devices.size())  ? kCliOk
               : noAnswer == static_cast<int>(devices.size()) ? kCliNoAnswer
                                                              : kCliDeviceFailed;
        // The listener's reader points at the upgrader: stop receiving before it goes.
        lan.vStop();
    }
    return code;
}
