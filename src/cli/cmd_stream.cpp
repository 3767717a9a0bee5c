#include "cli/cmd_stream.h"

#include <charconv>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>

#include "cli/cli_runner.h"
#include "media/ba_network.h"
#include "protocol/requests.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kDefaultSeconds = 5;
constexpr int kMaxSeconds = 3600;
constexpr std::string_view kAmrFileHead = "#!AMR\n";

struct CStreamArgs {
    std::uint32_t m_uiAddr = 0;
    int m_iStreamId = kStreamMain;
    int m_iSeconds = kDefaultSeconds;
    std::string m_strRecord;
};

std::optional<CStreamArgs> sParseStreamArgs(const std::vector<std::string>& args,
                                            std::string& error) {
    CStreamArgs parsed;
    if (args.empty() || !fgParseIp(args[0], parsed.m_uiAddr)) {
        error = "stream wants the device's IPv4 address first";
        return std::nullopt;
    }
    for (std::size_t i = 1; i < args.size(); i += 2) {
        const std::string& flag = args[i];
        if (i + 1 >= args.size()) {
            error = flag + " needs a value";
            return std::nullopt;
        }
        const std::string& value = args[i + 1];
        if (flag == "--stream") {
            if (value != "main" && value != "sub" && value != "listen") {
                error = "--stream wants main, sub or listen, not '" + value + "'";
                return std::nullopt;
            }
            parsed.m_iStreamId =
                value == "main" ? kStreamMain : (value == "sub" ? kStreamSub : kStreamListen);
        } else if (flag == "--seconds") {
            const char* end = value.data() + value.size();
            const auto [ptr, code] = std::from_chars(value.data(), end, parsed.m_iSeconds);
            if (code != std::errc() || ptr != end || parsed.m_iSeconds < 1 ||
                parsed.m_iSeconds > kMaxSeconds) {
                error =
                    "--seconds wants 1 to " + std::to_string(kMaxSeconds) + ", not '" + value + "'";
                return std::nullopt;
            }
        } else if (flag == "--record") {
            parsed.m_strRecord = value;
        } else {
            error = "unknown stream option " + flag;
            return std::nullopt;
        }
    }
    return parsed;
}

// Counts what arrives and writes the payloads when asked; called on the client's
// threads, read by the command's thread.
class CStreamTally final : public IStreamOwner {
  public:
    explicit CStreamTally(std::ofstream* record) : m_pRecord(record) {}

    void vOnStreamPacket(int, std::span<const std::uint8_t> packet) override {
        const CMediaHead head = *sParseMediaHead(packet);
        std::lock_guard guard(m_lock);
        if (head.m_uiType == kPktLoginReply || head.m_uiType == kPktAuthReply) {
            // The first refusal tells why; the replies after it only repeat it.
            if (head.m_iResult != kStreamResultOk && !m_refusedWith) {
                m_refusedWith = head.m_iResult;
                m_changed.notify_all();
            }
            return;
        }
        const Clock::time_point now = Clock::now();
        if (m_iFrames == 0) {
            m_first = now;
        }
        m_last = now;
        ++m_iFrames;
        m_iKeyFrames += head.m_ucKeyFrame != 0 ? 1 : 0;
        m_ulPayloadBytes += head.m_uiPayloadBytes;
        if (m_lastSequence && head.m_uiSequence != *m_lastSequence + 1) {
            ++m_iGaps;
        }
        m_lastSequence = head.m_uiSequence;
        if (m_pRecord != nullptr) {
            const auto payload = packet.subspan(kMediaHeadBytes);
            m_pRecord->write(reinterpret_cast<const char*>(payload.data()),
                             static_cast<std::streamsize>(payload.size()));
        }
    }
    void vOnStreamStarted(int) override {
        std::lock_guard guard(m_lock);
        ++m_iConnects;
        // A new connection numbers its packets afresh.
        m_lastSequence.reset();
    }

    // Waits until the deadline, or until the device refused the login.
    void vWait(Clock::time_point deadline) {
        std::unique_lock guard(m_lock);
        m_changed.wait_until(guard, deadline, [this] { return m_refusedWith.has_value(); });
    }

    // Prints the tally; the exit code.
    int iReport(std::ostream& out, const char* streamName) {
        std::lock_guard guard(m_lock);
        const double spanSeconds = std::chrono::duration<double>(m_last - m_first).count();
        const double fps =
            m_iFrames > 1 && spanSeconds > 0 ? static_cast<double>(m_iFrames - 1) / spanSeconds : 0;
        const double kbits =
            spanSeconds > 0 ? static_cast<double>(m_ulPayloadBytes) * 8 / 1000 / spanSeconds : 0;
        char rates[96];
        std::snprintf(rates, sizeof rates, "fps: %.1f\nbit rate: %.0f kbit/s\n", fps, kbits);
        out << "stream: " << streamName << '\n'
            << "frames: " << m_iFrames << '\n'
            << "key frames: " << m_iKeyFrames << '\n'
            << rates << "gaps: " << m_iGaps << '\n'
            << "reconnects: " << (m_iConnects > 0 ? m_iConnects - 1 : 0) << '\n';
        if (m_iFrames > 0) {
            return kCliOk;
        }
        if (m_refusedWith) {
            out << "login refused: " << *m_refusedWith << '\n';
            return kCliDeviceFailed;
        }
        return kCliNoAnswer;
    }

  private:
    std::ofstream* m_pRecord;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::optional<std::int32_t> m_refusedWith;
    long m_iFrames = 0;
    long m_iKeyFrames = 0;
    long m_iGaps = 0;
    int m_iConnects = 0;
    std::uint64_t m_ulPayloadBytes = 0;
    std::optional<std::uint32_t> m_lastSequence;
    Clock::time_point m_first{};
    Clock::time_point m_last{};
};

}  // namespace

int iStreamCommand(const CCliOptions& options, std::ostream& out, std::ostream& err) {
    std::string error;
    const std::optional<CStreamArgs> args = sParseStreamArgs(options.m_args, error);
    if (!args) {
        err << "kestrel-cli: " << error << '\n';
        return kCliUsage;
    }
    std::ofstream record;
    if (!args->m_strRecord.empty()) {
        record.open(args->m_strRecord, std::ios::binary | std::ios::trunc);
        if (!record) {
            err << "kestrel-cli: cannot write " << args->m_strRecord << '\n';
            return kCliSetupFailed;
        }
        if (args->m_iStreamId == kStreamListen) {
            record << kAmrFileHead;
        }
    }
    const std::string password =
        options.m_strPassword.empty() ? std::string(kDefaultDevPassword) : options.m_strPassword;
    CStreamTally tally(record.is_open() ? &record : nullptr);
    CSteadyStreamClock clock;
    {
        CBaNetwork client(clock);
        client.BaNetwork_StartStream(args->m_iStreamId, tally,
                                     sMakeStreamCredentials("admin", password), args->m_uiAddr);
        tally.vWait(Clock::now() + std::chrono::seconds(args->m_iSeconds));
    }
    const char* streamName = args->m_iStreamId == kStreamMain
                                 ? "main"
                                 : (args->m_iStreamId == kStreamSub ? "sub" : "listen");
    return tally.iReport(out, streamName);
}
