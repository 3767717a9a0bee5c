#include "cli/cmd_stream.h"

#include <fstream>
#include <optional>
#include <string>

#include "cli/cli_runner.h"
#include "cli/media_args.h"
#include "cli/stream_tally.h"
#include "media/ba_network.h"
#include "protocol/requests.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kMaxSeconds = 3600;
constexpr std::string_view kAmrFileHead = "#!AMR\n";

}  // namespace

int iStreamCommand(const CCliOptions& options, std::ostream& out, std::ostream& err) {
    std::string error;
    const std::optional<CMediaArgs> args =
        sParseMediaArgs(options.m_args, {"stream", 3, kMaxSeconds, "--record", ""}, error);
    if (!args) {
        err << "kestrel-cli: " << error << '\n';
        return kCliUsage;
    }
    std::ofstream record;
    if (!args->m_strFile.empty()) {
        record.open(args->m_strFile, std::ios::binary | std::ios::trunc);
        if (!record) {
            err << "kestrel-cli: cannot write " << args->m_strFile << '\n';
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
