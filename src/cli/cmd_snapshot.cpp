#include "cli/cmd_snapshot.h"

#include <cstdio>
#include <optional>

#include "app/atomic_file.h"
#include "cli/cli_runner.h"
#include "cli/media_args.h"
#include "media/png_image.h"
#include "media/snapshot.h"
#include "protocol/requests.h"

namespace {

constexpr int kMaxSeconds = 600;

int iExitCode(ESnapshotOutcome outcome) {
    switch (outcome) {
        case ESnapshotOutcome::kPicture:
            return kCliOk;
        case ESnapshotOutcome::kRefused:
        case ESnapshotOutcome::kUndecodable:
            return kCliDeviceFailed;
        case ESnapshotOutcome::kNoKeyFrame:
            return kCliNoAnswer;
        case ESnapshotOutcome::kNoDecoder:
        case ESnapshotOutcome::kStopped:
            return kCliSetupFailed;
    }
    return kCliSetupFailed;
}

}  // namespace

int iSnapshotCommand(const CCliOptions& options, std::ostream& out, std::ostream& err) {
    std::string error;
    const std::optional<CMediaArgs> args = sParseMediaArgs(
        options.m_args, {"snapshot", 2, kMaxSeconds, "", "the PNG file to write"}, error);
    if (!args) {
        err << "kestrel-cli: " << error << '\n';
        return kCliUsage;
    }
    CSnapshotRequest request;
    request.m_iStreamId = args->m_iStreamId;
    request.m_strPassword =
        options.m_strPassword.empty() ? std::string(kDefaultDevPassword) : options.m_strPassword;
    request.m_iTimeLimitMs = args->m_iSeconds * 1000;
    const CSnapshot shot = sGrabKeyFrame(args->m_uiAddr, request);
    if (shot.m_eOutcome != ESnapshotOutcome::kPicture) {
        out << options.m_args[0] << ' ' << pszSnapshotOutcome(shot.m_eOutcome);
        if (shot.m_eOutcome == ESnapshotOutcome::kRefused) {
            out << ' ' << shot.m_iRefusedWith;
        } else {
            out << ", " << shot.m_iVideoPackets << " video packets, " << shot.m_iKeyFrames
                << " key frames";
        }
        out << '\n';
        return iExitCode(shot.m_eOutcome);
    }
    const std::vector<std::uint8_t> png = bufPngRgb(shot.m_iWidth, shot.m_iHeight, shot.m_rgbx,
                                                    static_cast<std::size_t>(shot.m_iWidth) * 4);
    std::string writeError = "cannot write " + args->m_strFile + ": the picture cannot be encoded";
    if (png.empty() || !fgWriteFileAtomic(args->m_strFile, png, writeError)) {
        err << "kestrel-cli: " << writeError << '\n';
        return kCliSetupFailed;
    }
    char line[160];
    std::snprintf(line, sizeof line, "%s %dx%d, mean luma %.1f, %ld ms\n",
                  options.m_args[0].c_str(), shot.m_iWidth, shot.m_iHeight, shot.m_dLumaMean,
                  shot.m_lElapsedMs);
    out << line;
    return kCliOk;
}
