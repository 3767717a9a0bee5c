#include "cli/cmd_log.h"

#include <charconv>
#include <mutex>
#include <thread>

#include "app/shown_text.h"
#include "cli/cli_runner.h"
#include "cli/cli_session.h"
#include "cli/verb_support.h"
#include "protocol/log_feature.h"

namespace {

constexpr int kDefaultSeconds = 10;
constexpr int kMaxSeconds = 86400;

// Writes each log text as it comes, on the receive thread.
class CLogPrinter final : public ILogView {
  public:
    explicit CLogPrinter(std::ostream& out) : m_out(out) {}
    void vShowLogText(const std::string& text) override {
        std::lock_guard guard(m_lock);
        m_out << strShownText(text, ELineBreaks::kKeep) << std::flush;
        m_fgPrinted = true;
    }
    bool fgPrinted() {
        std::lock_guard guard(m_lock);
        return m_fgPrinted;
    }

  private:
    std::mutex m_lock;
    std::ostream& m_out;
    bool m_fgPrinted = false;
};

}  // namespace

int iLogVerb(const CCliOptions& options, CLanStation& lan, CCliView& view, std::ostream& out,
             std::ostream& err) {
    const std::vector<std::string>& args = options.m_args;
    int seconds = kDefaultSeconds;
    if (args.size() != 1) {
        const bool flag = args.size() == 3 && args[1] == "--seconds";
        const char* end = flag ? args[2].data() + args[2].size() : nullptr;
        const auto [ptr, code] =
            flag ? std::from_chars(args[2].data(), end, seconds) : std::from_chars_result{};
        if (!flag || code != std::errc() || ptr != end || seconds < 1 || seconds > kMaxSeconds) {
            err << "kestrel-cli: log wants IP [--seconds 1.." << kMaxSeconds << "]\n";
            return kCliUsage;
        }
    }
    CStation& station = lan.station();
    if (const int code = iOpenDevice(options, station, view, out, err); code != kCliOk) {
        return code;
    }
    CLogPrinter printer(out);
    const CAttachedView attached(station.log(), printer);
    std::uint32_t addr = 0;
    fgParseIp(args[0], addr);
    station.log().vStartPrinting(addr, args[0]);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    station.log().vStopPrinting();
    return printer.fgPrinted() ? kCliOk : kCliNoAnswer;
}
