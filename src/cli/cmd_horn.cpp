#include "cli/cmd_horn.h"

#include "app/file_util.h"
#include "app/str_util.h"
#include "cli/cli_runner.h"
#include "media/horn_test.h"

namespace {

int iExitCode(EHornOutcome outcome) {
    switch (outcome) {
        case EHornOutcome::kSent:
            return kCliOk;
        case EHornOutcome::kConnectFailed:
            return kCliNoAnswer;
        case EHornOutcome::kConnectionLost:
        case EHornOutcome::kStalled:
        case EHornOutcome::kStopped:
            return kCliDeviceFailed;
        case EHornOutcome::kNoFile:
        case EHornOutcome::kReadFailed:
        case EHornOutcome::kNoSocket:
            return kCliSetupFailed;
    }
    return kCliSetupFailed;
}

}  // namespace

int iHornCommand(const CCliOptions& options, IUdpSender& sender, std::ostream& out,
                 std::ostream& err) {
    if (options.m_args.empty() || options.m_args.size() > 2) {
        err << "kestrel-cli: horn takes IP [FILE]\n" << strCliUsage();
        return kCliUsage;
    }
    const std::string& ip = options.m_args[0];
    const std::string file =
        options.m_args.size() == 2 ? options.m_args[1] : strFindHornFile(strGetExeDir());
    CUdpHornLink link(sender, {ip});
    CHornEndWait waiter;
    CHornTest horn(link, waiter);
    if (horn.iStart(ip, file) != 0) {
        err << "kestrel-cli: cannot start the horn test for " << ip << '\n';
        return kCliSetupFailed;
    }
    const CHornResult result = waiter.end().sWaitForever();
    out << ip << ' ' << pszHornOutcomeKey(result.m_eOutcome);
    if (result.m_eOutcome == EHornOutcome::kNoFile ||
        result.m_eOutcome == EHornOutcome::kReadFailed) {
        out << ' ' << result.m_strFile << '\n';
    } else {
        out << ", " << result.m_ulBytesSent << " of " << result.m_ulBytesTotal << " bytes sent\n";
    }
    return iExitCode(result.m_eOutcome);
}
