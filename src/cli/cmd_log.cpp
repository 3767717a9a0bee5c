#include "cli/cmd_log.h"

#include <charconv>
#include <mutex>
#include <thread>

#include "app/line_limiter.h"
#include "app/shown_text.h"
#include "cli/cli_runner.h"
#include "cli/cli_session.h"
#include "cli/verb_support.h"
#include "protocol/log_feature.h"

namespace {

constexpr int kDefaultSeconds = 10;
constexpr int kMaxSeconds = 86400;

// Writes each log text as it comes, on the receive thread: a text repeated is
// printed once with its count and a device gets a bounded number of texts a second,
// so a device flooding its log cannot flood the terminal.
class CLogPrinter final : public ILogView {
  public:
    explicit CLogPrinter(std::ostream& out) : m_out(out) {}
    void vShowLogText(const std::string& text) override {
        std::lock_guard guard(m_lock);
        vPrint(m_limiter.vecOnLine(kSource, strShownText(text, ELineBreaks::kKeep),
                                   CLineLimiter::Clock::now()));
        m_fgPrinted = true;
    }
    // The counts still held, once the log ends.
    void vFlush() {
        std::lock_guard guard(m_lock);
        vPrint(m_limiter.vecFlush());
    }
    bool fgPrinted() {
        std::lock_guard guard(m_lock);
        return m_fgPrinted;
    }

  private:
    static constexpr const char* kSource = "the device's log";

    // A note about held texts goes on a line of its own; a text is written as it came
    // (one without a line break continues the line).
    void vPrint(const std::vector<std::string>& texts) {
        for (const std::string& text : texts) {
            const bool note = CLineLimiter::fgIsNote(text);
            if (note && !m_fgAtLineStart) {
                m_out << '\n';
            }
            m_out << text << (note ? "\n" : "");
            m_fgAtLineStart = note || (!text.empty() && text.back() == '\n');
        }
        m_out << std::flush;
    }

    std::mutex m_lock;
    std::ostream& m_out;
    CLineLimiter m_limiter;
    bool m_fgAtLineStart = true;
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
    printer.vFlush();
    return printer.fgPrinted() ? kCliOk : kCliNoAnswer;
}
