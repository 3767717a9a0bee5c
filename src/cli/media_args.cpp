#include "cli/media_args.h"

#include <array>

#include "cli/cli_runner.h"
#include "cli/verb_support.h"
#include "media/stream_wire.h"
#include "net/lan_interfaces.h"

namespace {

constexpr std::array<std::pair<std::string_view, int>, 3> kStreamNames{{
    {"main", kStreamMain},
    {"sub", kStreamSub},
    {"listen", kStreamListen},
}};

}  // namespace

std::optional<CMediaArgs> sParseMediaArgs(const std::vector<std::string>& args,
                                          const CMediaArgRules& rules, std::string& error) {
    const std::string verb(rules.m_strVerb);
    CMediaArgs parsed;
    parsed.m_iStreamId = kStreamMain;
    if (args.empty() || !fgParseIp(args[0], parsed.m_uiAddr)) {
        error = verb + " wants the device's IPv4 address first";
        return std::nullopt;
    }
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!arg.starts_with("--") && rules.m_strFileFlag.empty()) {
            if (!parsed.m_strFile.empty()) {
                error = verb + " takes one file, got '" + parsed.m_strFile + "' and '" + arg + "'";
                return std::nullopt;
            }
            parsed.m_strFile = arg;
            continue;
        }
        const bool streamFlag = arg == "--stream" && rules.m_iStreamNames > 0;
        if (!streamFlag && arg != "--seconds" && arg != rules.m_strFileFlag) {
            error = "unknown " + verb + " option " + arg;
            return std::nullopt;
        }
        if (i + 1 >= args.size()) {
            error = arg + " needs a value";
            return std::nullopt;
        }
        const std::string& value = args[++i];
        if (arg == rules.m_strFileFlag) {
            parsed.m_strFile = value;
        } else if (streamFlag) {
            std::string names;
            bool known = false;
            for (int n = 0; n < rules.m_iStreamNames; ++n) {
                const auto& [name, id] = kStreamNames[static_cast<std::size_t>(n)];
                names += (n == 0 ? "" : (n + 1 == rules.m_iStreamNames ? " or " : ", ")) +
                         std::string(name);
                if (value == name) {
                    parsed.m_iStreamId = id;
                    known = true;
                }
            }
            if (!known) {
                error = "--stream wants " + names + ", not '" + value + "'";
                return std::nullopt;
            }
        } else {
            const std::optional<long long> seconds = sParseWholeNumber(value);
            if (!seconds || *seconds < 1 || *seconds > rules.m_iMaxSeconds) {
                error = "--seconds wants 1 to " + std::to_string(rules.m_iMaxSeconds) + ", not '" +
                        value + "'";
                return std::nullopt;
            }
            parsed.m_iSeconds = static_cast<int>(*seconds);
        }
    }
    if (parsed.m_strFile.empty() && !rules.m_strFileWanted.empty()) {
        error = verb + " wants " + std::string(rules.m_strFileWanted);
        return std::nullopt;
    }
    return parsed;
}

int iStreamRunEnd(const CStreamStats& stats, bool mediaKept, int secondsAsked,
                  const std::string& file, const CRecordingEnd* recording, std::ostream& out,
                  std::ostream& err) {
    if (!mediaKept) {
        if (stats.m_refusedWith) {
            out << "login refused: " << *stats.m_refusedWith << '\n';
            return kCliDeviceFailed;
        }
        return kCliNoAnswer;
    }
    if (const std::string stall = strStallLine(stats, secondsAsked); !stall.empty()) {
        out << stall << '\n';
    }
    if (recording != nullptr && recording->fgCut()) {
        err << "kestrel-cli: " << file << ": " << strRecordingCutLine(*recording) << '\n';
        return kCliSetupFailed;
    }
    if (recording != nullptr && !recording->m_fgKept) {
        err << "kestrel-cli: " << file << ": nothing recorded (no key frame)\n";
        return kCliNoAnswer;
    }
    return fgMostlyStalled(stats, secondsAsked) ? kCliNoAnswer : kCliOk;
}
