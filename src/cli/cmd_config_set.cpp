#include "cli/cmd_config_set.h"

#include "cli/cli_runner.h"
#include "cli/cli_session.h"
#include "cli/cmd_history.h"
#include "protocol/cmd_header.h"
#include "protocol/config_text.h"
#include "protocol/requests.h"

namespace {

// The result line the station writes when a device agrees to a free item.
constexpr int kFreeItemKind = 6;

}  // namespace

int iConfigSetVerb(const CCliOptions& options, CLanStation& lan, CCliView& view, std::ostream& out,
                   std::ostream& err) {
    const std::vector<std::string>& args = options.m_args;
    const std::optional<CConfigItem> item =
        args.size() >= 2 ? sParseConfigItem(args.back()) : std::nullopt;
    if (!item) {
        err << "kestrel-cli: config-set wants IP... KEY=VALUE\n";
        return kCliUsage;
    }
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        std::uint32_t addr = 0;
        if (!fgParseIp(args[i], addr)) {
            err << "kestrel-cli: '" << args[i] << "' is not an IPv4 address\n";
            return kCliUsage;
        }
    }
    CStation& station = lan.station();
    station.config().vSetConfigItemKind(kFreeItemKind);
    const CmdBytes request = bufBuildConfigItem(item->m_strKey, item->m_strValue, item->m_eKind);
    std::size_t agreed = 0;
    std::size_t answered = 0;
    const CCliHistory history(options);
    std::vector<CDeviceRecord> records;
    const auto record = [&](const std::string& ip, int code) {
        std::uint32_t addr = 0;
        CDevInfo device;
        const bool known = fgParseIp(ip, addr) && station.registry().fgGetDevInfoByIp(device, addr);
        records.push_back(
            sJobRecord(history.context(), kJobConfigSet, ip, known ? &device : nullptr));
        records.back().m_eOutcome = eCliOutcome(code);
        records.back().m_strReason = strCommandDetail(options);
    };
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        CCliOptions one = options;
        one.m_args = {args[i]};
        if (const int code = iOpenDevice(one, station, view, out, err); code != kCliOk) {
            answered += code == kCliDeviceFailed ? 1 : 0;  // refused the password
            record(args[i], code);
            continue;
        }
        if (!station.fgSendToDev(args[i], request)) {
            view.vFlushLines(out);
            record(args[i], kCliSetupFailed);
            history.vRecord(records, err);
            return iSendFailed(args[i], err);
        }
        std::uint8_t status = 0;
        const auto deadline = CliClock::now() + std::chrono::milliseconds(options.m_iTimeoutMs);
        int code = kCliNoAnswer;
        if (view.byWaitReply({kCmdSetConfigItem}, deadline, &status) == kCmdSetConfigItem) {
            ++answered;
            agreed += status == 0 ? 1 : 0;
            code = status == 0 ? kCliOk : kCliDeviceFailed;
        }
        record(args[i], code);
        view.vFlushLines(out);
    }
    history.vRecord(records, err);
    const std::size_t devices = args.size() - 1;
    return agreed == devices ? kCliOk : answered == 0 ? kCliNoAnswer : kCliDeviceFailed;
}
