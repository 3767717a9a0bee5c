#include "cli/cmd_snapshot.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <optional>

#include "cli/cli_runner.h"
#include "media/png_image.h"
#include "media/snapshot.h"
#include "protocol/requests.h"

namespace {

constexpr int kDefaultSeconds = 5;
constexpr int kMaxSeconds = 600;

struct CSnapshotArgs {
    std::uint32_t m_uiAddr = 0;
    int m_iStreamId = kStreamMain;
    int m_iSeconds = kDefaultSeconds;
    std::string m_strFile;
};

std::optional<CSnapshotArgs> sParseSnapshotArgs(const std::vector<std::string>& args,
                                                std::string& error) {
    CSnapshotArgs parsed;
    if (args.empty() || !fgParseIp(args[0], parsed.m_uiAddr)) {
        error = "snapshot wants the device's IPv4 address first";
        return std::nullopt;
    }
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!arg.starts_with("--")) {
            if (!parsed.m_strFile.empty()) {
                error = "snapshot takes one file, got '" + parsed.m_strFile + "' and '" + arg + "'";
                return std::nullopt;
            }
            parsed.m_strFile = arg;
            continue;
        }
        if (i + 1 >= args.size()) {
            error = arg + " needs a value";
            return std::nullopt;
        }
        const std::string& value = args[++i];
        if (arg == "--stream") {
            if (value != "main" && value != "sub") {
                error = "--stream wants main or sub, not '" + value + "'";
                return std::nullopt;
            }
            parsed.m_iStreamId = value == "main" ? kStreamMain : kStreamSub;
        } else if (arg == "--seconds") {
            const char* end = value.data() + value.size();
            const auto [ptr, code] = std::from_chars(value.data(), end, parsed.m_iSeconds);
            if (code != std::errc() || ptr != end || parsed.m_iSeconds < 1 ||
                parsed.m_iSeconds > kMaxSeconds) {
                error =
                    "--seconds wants 1 to " + std::to_string(kMaxSeconds) + ", not '" + value + "'";
                return std::nullopt;
            }
        } else {
            error = "unknown snapshot option " + arg;
            return std::nullopt;
        }
    }
    if (parsed.m_strFile.empty()) {
        error = "snapshot wants the PNG file to write";
        return std::nullopt;
    }
    return parsed;
}

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
    const std::optional<CSnapshotArgs> args = sParseSnapshotArgs(options.m_args, error);
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
    std::ofstream file(args->m_strFile, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    file.close();
    if (png.empty() || !file) {
        err << "kestrel-cli: cannot write " << args->m_strFile << '\n';
        return kCliSetupFailed;
    }
    char line[160];
    std::snprintf(line, sizeof line, "%s %dx%d, mean luma %.1f, %ld ms\n",
                  options.m_args[0].c_str(), shot.m_iWidth, shot.m_iHeight, shot.m_dLumaMean,
                  shot.m_lElapsedMs);
    out << line;
    return kCliOk;
}
