#include "cli/cmd_stream.h"

#include <charconv>
#include <fstream>
#include <optional>
#include <string>

#include "cli/cli_runner.h"
#include "cli/stream_tally.h"
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
    CStreamTally::FnPayload writePayload;
    if (record.is_open()) {
        writePayload = [&record](std::span<const std::uint8_t> payload) {
            record.write(reinterpret_cast<const char*>(payload.data()),
                         static_cast<std::streamsize>(payload.size()));
        };
    }
    CStreamTally tally(std::move(writePayload));
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
