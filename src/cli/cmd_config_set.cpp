#include "cli/cmd_config_set.h"

#include "cli/cli_runner.h"
#include "cli/cli_session.h"
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
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        CCliOptions one = options;
        one.m_args = {args[i]};
        if (const int code = iOpenDevice(one, station, view, out, err); code != kCliOk) {
            answered += code == kCliDeviceFailed ? 1 : 0;  // refused the password
            continue;
        }
        if (!station.fgSendToDev(args[i], request)) {
            view.vFlushLines(out);
            return iSendFailed(args[i], err);
        }
        std::uint8_t status = 0;
        const auto deadline = CliClock::now() + std::chrono::milliseconds(options.m_iTimeoutMs);
        if (view.byWaitReply({kCmdSetConfigItem}, deadline, &status) == kCmdSetConfigItem) {
            ++answered;
            agreed += status == 0 ? 1 : 0;
        }
        view.vFlushLines(out);
    }
    const std::size_t devices = args.size() - 1;
    return agreed == devices ? kCliOk : answered == 0 ? kCliNoAnswer : kCliDeviceFailed;
}
