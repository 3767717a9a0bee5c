#include "cli/cli_runner.h"

#include <algorithm>
#include <chrono>
#include <set>
#include <variant>

#include "cli/cli_session.h"
#include "cli/cli_verbs.h"
#include "cli/cmd_check.h"
#include "cli/cmd_history.h"
#include "cli/cmd_horn.h"
#include "cli/cmd_upgrade.h"
#include "protocol/cmd_header.h"
#include "protocol/dev_list_format.h"
#include "protocol/lan_station.h"

namespace {

constexpr auto kWifiPollPeriod = std::chrono::milliseconds(4000);
using Clock = CliClock;

struct CExpect {
    std::set<std::uint8_t> m_ok;
    std::set<std::uint8_t> m_failed;
};

}  // namespace

int iSearchVerb(const CCliOptions& options, CLanStation& lan, CCliView& /*view*/, std::ostream& out,
                std::ostream& err) {
    CStation& station = lan.station();
    bool usageError = false;
    const std::optional<CExpectedBench> expected = sSearchExpectation(options, err, usageError);
    if (usageError) {
        return kCliUsage;
    }
    const std::chrono::milliseconds timeout(options.m_iTimeoutMs);
    if (expected) {
        sSearchUntilExpected(station, *expected, timeout);
    } else {
        vSearchUntil(station, Clock::now() + timeout, [] { return false; });
    }
    station.registry().iSortByUid(0);
    const std::vector<CDevInfo> devices = station.registry().vecActiveView();
    switch (options.m_eFormat) {
        case EListFormat::kJson:
            out << strDevListJson(devices);
            break;
        case EListFormat::kCsv:
            out << strDevListCsv(devices);
            break;
        case EListFormat::kTable:
            out << strDevListTable(devices);
            break;
    }
    return expected ? iPrintBench(*expected, devices, out) : kCliOk;
}

namespace {

int iRunDeviceCommand(const CCliOptions& options, CLanStation& lan, CCliView& view,
                      std::ostream& out, std::ostream& err) {
    CStation& station = lan.station();
    const auto timeout = std::chrono::milliseconds(options.m_iTimeoutMs);
    const std::string& ip = options.m_args[0];
    const std::string& command = options.m_strCommand;
    if (command == "login") {
        std::uint8_t loginReply = 0;
        const int code = iOpenDevice(options, station, view, out, err, &loginReply);
        view.vFlushLines(out);
        if (code != kCliOk) {
            return code;
        }
        return loginReply == kReplyLoginOk ? kCliOk
               : loginReply == 0           ? kCliNoAnswer
                                           : kCliDeviceFailed;
    }
    if (const int code = iOpenDevice(options, station, view, out, err); code != kCliOk) {
        return code;
    }

    CExpect expect;
    const auto deadline = Clock::now() + timeout;
    bool sent = false;
    if (command == "restart") {
        sent = station.fgSendToDev(ip, bufBuildRestart());
        expect = {{kReplyRestart}, {}};
    } else if (command == "reset") {
        sent = station.fgSendToDev(ip, bufBuildFactoryReset(EResetOrigin::kPlain));
        expect = {{kReplyFactoryReset}, {}};
    } else if (command == "format-sd") {
        sent = station.devCmd().fgFormatSd();
        // A device without an SD card answers with the "dev no sd card" reply.
        expect = {{kReplyFormatSdOk}, {kReplyMakeUpgradeFile3}};
    } else if (command == "set-uid") {
        sent = station.devCmd().fgSetUid(options.m_args[1]);
        expect = {{kReplySetUidOk}, {kReplySetUidFailed}};
    } else if (command == "set-password") {
        sent = station.devCmd().fgModifyPassword(options.m_args[1]);
        expect = {{kReplyPasswordOk}, {kReplyPasswordFailed}};
    } else if (command == "set-net") {
        const bool wired = options.m_args[1] == "wired";
        const CNetSettings settings{options.m_args[2], options.m_args[3], options.m_args[4],
                                    options.m_args[5], options.m_args[6] == "dhcp"};
        sent = station.fgSendToDev(
            ip, bufBuildSetNetwork(wired ? ENetBlock::kWired : ENetBlock::kWifi, settings));
        expect = wired ? CExpect{{kReplyWiredNetOk}, {kReplyWiredNetFailed}}
                       : CExpect{{kReplyWifiNetOk}, {kReplyWifiNetFailed}};
    } else if (command == "wifi-connect") {
        CLoginFeature& login = station.login();
        if (!login.fgConnectWifi(options.m_args[1],
                                 static_cast<std::uint32_t>(std::stoul(options.m_args[3])),
                                 options.m_args[2])) {
            return iSendFailed(ip, err);
        }
        // Polls the status every 4 s as the window does, until a result arrives.
        const std::set<std::uint8_t> results{kReplyWifiStatus, kReplyWifiJoinOk,
                                             kReplyWifiJoinFailed};
        std::uint8_t reply = 0;
        while (reply == 0) {
            reply = view.byWaitReply(results, Clock::now() + kWifiPollPeriod);
            if (reply == 0 && !login.fgWifiPollTick()) {
                reply = view.byWaitReply(results, Clock::now() + timeout);
                break;
            }
        }
        view.vFlushLines(out);
        if (reply == 0) {
            return kCliNoAnswer;
        }
        const bool joined =
            reply == kReplyWifiJoinOk || (reply == kReplyWifiStatus && login.fgWifiConnected());
        return joined ? kCliOk : kCliDeviceFailed;
    }
    if (!sent) {
        view.vFlushLines(out);
        return iSendFailed(ip, err);
    }

    std::set<std::uint8_t> all = expect.m_ok;
    all.insert(expect.m_failed.begin(), expect.m_failed.end());
    const std::uint8_t reply = view.byWaitReply(all, deadline);
    view.vFlushLines(out);
    if (reply == 0) {
        return kCliNoAnswer;
    }
    return expect.m_ok.contains(reply) ? kCliOk : kCliDeviceFailed;
}

// Records a device command that reached the device (not a usage error) with what the
// station knows of the device.
void vRecordDeviceCommand(const CCliOptions& options, const CStation& station, int code,
                          std::ostream& err) {
    const std::string_view kind = strRecordedKind(options.m_strCommand);
    if (kind.empty() || code == kCliUsage || options.m_args.empty()) {
        return;
    }
    const CCliHistory history(options);
    std::uint32_t addr = 0;
    fgParseIp(options.m_args[0], addr);
    CDevInfo device;
    const bool known = station.registry().fgGetDevInfoByIp(device, addr);
    CDeviceRecord record =
        sJobRecord(history.context(), kind, options.m_args[0], known ? &device : nullptr);
    record.m_eOutcome = eCliOutcome(code);
    record.m_strReason = strCommandDetail(options);
    history.vRecord({record}, err);
}

}  // namespace

int iDeviceVerb(const CCliOptions& options, CLanStation& lan, CCliView& view, std::ostream& out,
                std::ostream& err) {
    const int code = iRunDeviceCommand(options, lan, view, out, err);
    vRecordDeviceCommand(options, lan.station(), code, err);
    return code;
}

int iUpgradeVerb(const CCliOptions& options, CLanStation& lan, CCliView& /*view*/,
                 std::ostream& out, std::ostream& err) {
    const auto searchAll = [&options, &lan](const std::optional<CExpectedBench>& expected) {
        const std::chrono::milliseconds timeout(options.m_iTimeoutMs);
        CUpgSearch found;
        if (expected) {
            found.m_bench = sSearchUntilExpected(lan.station(), *expected, timeout);
        } else {
            vSearchUntil(lan.station(), Clock::now() + timeout, [] { return false; });
        }
        for (const CDevInfo& device : lan.station().registry().vecActiveView()) {
            found.m_addresses.push_back(strIpText(device.m_uiIpAddr));
        }
        return found;
    };
    // The history names each device by its wired MAC too, which only a search tells:
    // the listed devices are looked for first (the search ends as soon as all answered).
    std::string error;
    if (const auto args = sParseUpgradeArgs(options.m_args, error); args && !args->m_fgAll) {
        vSearchUntil(lan.station(), Clock::now() + std::chrono::milliseconds(options.m_iTimeoutMs),
                     [&lan, &args] {
                         return std::all_of(args->m_targets.begin(), args->m_targets.end(),
                                            [&lan](const std::string& ip) {
                                                std::uint32_t addr = 0;
                                                return fgParseIp(ip, addr) &&
                                                       iRowOf(lan.station(), addr) >= 0;
                                            });
                     });
    }
    const auto record = [&options, &lan, &err](const std::vector<CUpgFile>& files,
                                               const std::vector<CUpgDeviceResult>& devices) {
        const CCliHistory history(options);
        const std::vector<CRecordFile> described = vecDescribeFiles(files);
        std::vector<CDeviceRecord> records;
        for (const CUpgDeviceResult& result : devices) {
            std::uint32_t addr = 0;
            CDevInfo device;
            const bool known = fgParseIp(result.m_strDevice, addr) &&
                               lan.station().registry().fgGetDevInfoByIp(device, addr);
            records.push_back(
                sUpgradeRecord(history.context(), result, known ? &device : nullptr, described));
        }
        history.vRecord(records, err);
    };
    return iUpgradeCommand(options, lan, searchAll, out, err, {}, record);
}

int iHornVerb(const CCliOptions& options, CLanStation& lan, CCliView& /*view*/, std::ostream& out,
              std::ostream& err) {
    return iHornCommand(options, lan.transport(), out, err);
}

int iRunCli(const CCliOptions& options, std::ostream& out, std::ostream& err) {
    const CCliVerb* verb = psFindCliVerb(options.m_strCommand);
    if (verb == nullptr) {
        err << "kestrel-cli: unknown command " << options.m_strCommand << '\n';
        return kCliUsage;
    }
    if (const auto* standalone = std::get_if<CStandaloneVerb>(&verb->m_run)) {
        return (*standalone)(options, out, err);
    }
    CCliView view;
    CLanStation lan(view);
    if (!lan.fgStart(options.m_binds, &view)) {
        const auto fault = lan.transport().sInitFault();
        err << "kestrel-cli: cannot open the station's sockets"
            << (fault ? " on " + strIpText(fault->m_uiAddr) + ": " + fault->m_strReason
                      : std::string())
            << '\n';
        return kCliSetupFailed;
    }
    lan.station().vSetPassword(options.m_strPassword);
    return std::get<CStationVerb>(verb->m_run)(options, lan, view, out, err);
}
