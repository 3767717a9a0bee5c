#include "cli/cmd_key.h"

#include "cli/cli_runner.h"
#include "cli/cli_session.h"
#include "protocol/cmd_header.h"
#include "protocol/key_command.h"
#include "protocol/requests.h"

int iKeyVerb(const CCliOptions& options, CLanStation& lan, CCliView& view, std::ostream& out,
             std::ostream& err) {
    const std::vector<std::string>& args = options.m_args;
    std::string line;
    for (std::size_t i = 1; i < args.size(); ++i) {
        line += (i == 1 ? "" : " ") + args[i];
    }
    const std::optional<CKeyCommand> command = sParseKeyCommand(line);
    if (!command || command->m_iKey < 0 || line.size() > kKeyLineMaxChars) {
        err << "kestrel-cli: key wants IP CODE [PARAM...], a code of 0 or more and at most "
            << kKeyLineMaxChars << " characters\n";
        return kCliUsage;
    }
    CStation& station = lan.station();
    if (const int code = iOpenDevice(options, station, view, out, err); code != kCliOk) {
        return code;
    }
    const std::string& ip = args[0];
    if (!station.fgSendToDev(ip, bufBuildKeyCmd(command->m_iKey, command->m_params))) {
        view.vFlushLines(out);
        return iSendFailed(ip, err);
    }
    const auto deadline = CliClock::now() + std::chrono::milliseconds(options.m_iTimeoutMs);
    const std::uint8_t reply = view.byWaitReply({kCmdControl}, deadline);
    view.vFlushLines(out);
    return reply == kCmdControl ? kCliOk : kCliNoAnswer;
}
