#include "cli/cmd_config.h"

#include "app/shown_text.h"
#include "cli/cli_runner.h"
#include "cli/cli_session.h"
#include "cli/verb_support.h"
#include "protocol/cmd_header.h"
#include "protocol/config_feature.h"
#include "protocol/requests.h"

namespace {

// Takes the configuration text; the rest of the page's view is not needed here.
class CConfigTextView final : public IConfigView {
  public:
    void vShowConfigText(const std::string& text) override { m_text.fgPut(text); }
    void vShowKeyFunctions(const std::array<std::uint32_t, 4>&) override {}
    void vRefreshDefaultConfig() override {}

    COneShot<std::string> m_text;
};

}  // namespace

int iConfigVerb(const CCliOptions& options, CLanStation& lan, CCliView& view, std::ostream& out,
                std::ostream& err) {
    CStation& station = lan.station();
    if (const int code = iOpenDevice(options, station, view, out, err); code != kCliOk) {
        return code;
    }
    CConfigTextView textView;
    const CAttachedView attached(station.config(), textView);
    const std::string& ip = options.m_args[0];
    const auto deadline = CliClock::now() + std::chrono::milliseconds(options.m_iTimeoutMs);
    // The configuration text is asked for on the device's search port.
    if (!station.sender().fgSendUdpByIpStr(ip, kPortSearch, bufBuildGetConfigText(), false)) {
        return iSendFailed(ip, err);
    }
    int code = kCliNoAnswer;
    if (view.byWaitReply({kReplyConfigText, kReplyVersionFailed}, deadline) ==
        kReplyVersionFailed) {
        code = kCliDeviceFailed;
    } else if (const auto text = textView.m_text.sWait(deadline)) {
        out << strShownText(*text, ELineBreaks::kKeep);
        if (!text->empty() && text->back() != '\n') {
            out << '\n';
        }
        code = kCliOk;
    }
    if (code != kCliOk) {
        view.vFlushLines(out);
    }
    return code;
}
