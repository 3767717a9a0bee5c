#include "cli/cmd_stream.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "cli/cli_runner.h"
#include "cli/media_args.h"
#include "media/ba_network.h"
#include "media/stream_recorder.h"
#include "media/stream_session.h"
#include "protocol/requests.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kMaxSeconds = 3600;

const char* pszStreamName(int streamId) {
    return streamId == kStreamMain ? "main" : (streamId == kStreamSub ? "sub" : "listen");
}

}  // namespace

int iStreamCommand(const CCliOptions& options, std::ostream& out, std::ostream& err) {
    std::string error;
    const std::optional<CMediaArgs> args =
        sParseMediaArgs(options.m_args, {"stream", 3, kMaxSeconds, "--record", ""}, error);
    if (!args) {
        err << "kestrel-cli: " << error << '\n';
        return kCliUsage;
    }
    std::shared_ptr<CStreamRecorder> recorder;
    if (!args->m_strFile.empty()) {
        recorder = std::make_shared<CStreamRecorder>(
            args->m_strFile,
            args->m_iStreamId == kStreamListen ? ERecordFormat::kAmr : ERecordFormat::kH264);
        if (!recorder->fgOpen(error)) {
            err << "kestrel-cli: " << error << '\n';
            return kCliSetupFailed;
        }
    }
    const std::string password =
        options.m_strPassword.empty() ? std::string(kDefaultDevPassword) : options.m_strPassword;
    CStreamSession session(args->m_iStreamId);
    session.vSetRecorder(recorder);
    const Clock::time_point end = Clock::now() + std::chrono::seconds(args->m_iSeconds);
    {
        CSteadyStreamClock clock;
        CBaNetwork client(clock);
        session.vBegin();
        client.BaNetwork_StartStream(args->m_iStreamId, session,
                                     sMakeStreamCredentials("admin", password), args->m_uiAddr);
        session.fgWaitRefused(end);
    }
    const CStreamStats stats = session.sStats(std::min(end, Clock::now()));
    std::optional<CRecordingEnd> recording;
    if (recorder != nullptr) {
        recording = recorder->sClose();
    }

    const double fps = stats.m_lFrames > 1 && stats.m_dMediaSeconds > 0
                           ? static_cast<double>(stats.m_lFrames - 1) / stats.m_dMediaSeconds
                           : 0;
    const double kbits = stats.m_dMediaSeconds > 0 ? static_cast<double>(stats.m_ulPayloadBytes) *
                                                         8 / 1000 / stats.m_dMediaSeconds
                                                   : 0;
    char rates[96];
    std::snprintf(rates, sizeof rates, "fps: %.1f\nbit rate: %.0f kbit/s\n", fps, kbits);
    out << "stream: " << pszStreamName(args->m_iStreamId) << '\n'
        << "frames: " << stats.m_lFrames << '\n'
        << "key frames: " << stats.m_lKeyFrames << '\n'
        << rates << "gaps: " << stats.m_lGaps << '\n'
        << "reconnects: " << stats.m_iReconnects << '\n';
    return iStreamRunEnd(stats, stats.m_lFrames > 0, args->m_iSeconds, args->m_strFile,
                         recording ? &*recording : nullptr, out, err);
}
