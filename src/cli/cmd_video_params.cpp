#include "cli/cmd_video_params.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "cli/cli_runner.h"
#include "cli/cli_session.h"
#include "cli/verb_support.h"
#include "protocol/cmd_header.h"
#include "protocol/requests.h"

namespace {

using Clock = CliClock;

struct CNamedCode {
    std::string_view m_strName;
    int m_iCode;
};

constexpr CNamedCode kMainResolutions[] = {{"D1", 4}, {"VGA", 7}, {"720P", 16}, {"1080P", 18}};
constexpr CNamedCode kSubResolutions[] = {
    {"QCIF", 0}, {"CIF", 1}, {"2CIF", 2}, {"QVGA", 6}, {"VGA", 7}};
constexpr CNamedCode kStandards[] = {{"PAL", 0}, {"NTSC", 1}, {"AUTO", 2}};

template <std::size_t N>
std::optional<long long> sCodeOfName(const CNamedCode (&table)[N], std::string_view name) {
    std::string upper(name);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    for (const CNamedCode& entry : table) {
        if (entry.m_strName == upper) {
            return entry.m_iCode;
        }
    }
    return std::nullopt;
}

template <std::size_t N>
std::string strNameOfCode(const CNamedCode (&table)[N], long long code) {
    for (const CNamedCode& entry : table) {
        if (entry.m_iCode == code) {
            return std::string(entry.m_strName) + " (" + std::to_string(code) + ")";
        }
    }
    return "unknown (" + std::to_string(code) + ")";
}

struct CVideoParamsArgs {
    std::optional<CStreamSettings> m_main;
    std::optional<CStreamSettings> m_sub;
};

// "RES,FPS,BITRATE,STANDARD" of one stream.
std::optional<CStreamSettings> sParseStream(bool mainStream, const std::string& text,
                                            std::string& error, std::ostream& notes) {
    std::array<std::string, 4> parts;
    std::size_t part = 0;
    for (const char c : text) {
        if (c != ',') {
            parts[part] += c;
        } else if (++part == parts.size()) {
            break;
        }
    }
    const char* flag = mainStream ? "--main" : "--sub";
    if (part != parts.size() - 1) {
        error = std::string(flag) + " wants RES,FPS,BITRATE,STANDARD, not '" + text + "'";
        return std::nullopt;
    }
    CStreamSettings settings;
    const std::optional<long long> named = mainStream ? sCodeOfName(kMainResolutions, parts[0])
                                                      : sCodeOfName(kSubResolutions, parts[0]);
    const std::optional<long long> resolution = named ? named : sParseWholeNumber(parts[0]);
    const std::optional<long long> frameRate = sParseWholeNumber(parts[1]);
    const std::optional<long long> bitRate = sParseWholeNumber(parts[2]);
    const std::optional<long long> namedStandard = sCodeOfName(kStandards, parts[3]);
    const std::optional<long long> standard =
        namedStandard ? namedStandard : sParseWholeNumber(parts[3]);
    if (!resolution || *resolution < 0 || *resolution > 255) {
        error = std::string(flag) + ": '" + parts[0] +
                "' is neither a resolution of the stream nor a code 0 to 255";
        return std::nullopt;
    }
    if (!frameRate || !bitRate) {
        error = std::string(flag) + ": frame rate and bit rate are numbers";
        return std::nullopt;
    }
    if (!standard || *standard < std::numeric_limits<std::int32_t>::min() ||
        *standard > std::numeric_limits<std::int32_t>::max()) {
        error = std::string(flag) + ": the standard is PAL, NTSC, AUTO or a number, not '" +
                parts[3] + "'";
        return std::nullopt;
    }
    settings.m_byResolution = static_cast<std::uint8_t>(*resolution);
    settings.m_byFrameRate = iFieldValue<std::uint8_t>(*frameRate, "frame rate", notes);
    settings.m_usBitRate = iFieldValue<std::uint16_t>(*bitRate, "bit rate", notes);
    settings.m_iStandard = static_cast<std::int32_t>(*standard);
    return settings;
}

std::optional<CVideoParamsArgs> sParseArgs(const std::vector<std::string>& args, std::string& error,
                                           std::ostream& notes) {
    CVideoParamsArgs parsed;
    for (std::size_t i = 1; i < args.size(); i += 2) {
        const std::string& flag = args[i];
        if (flag != "--main" && flag != "--sub") {
            error = "unknown video-params option " + flag;
            return std::nullopt;
        }
        if (i + 1 >= args.size()) {
            error = flag + " needs RES,FPS,BITRATE,STANDARD";
            return std::nullopt;
        }
        const bool mainStream = flag == "--main";
        std::optional<CStreamSettings> settings =
            sParseStream(mainStream, args[i + 1], error, notes);
        if (!settings) {
            return std::nullopt;
        }
        (mainStream ? parsed.m_main : parsed.m_sub) = settings;
    }
    return parsed;
}

// Keeps the last settings the device reported.
class CVideoParamsRecord final : public IVideoParamView {
  public:
    void vFillVideoParams(const std::array<std::uint32_t, 4>& words) override {
        std::lock_guard guard(m_lock);
        m_words = words;
    }
    std::optional<std::array<std::uint32_t, 4>> sWords() {
        std::lock_guard guard(m_lock);
        return m_words;
    }
    void vForget() {
        std::lock_guard guard(m_lock);
        m_words.reset();
    }

  private:
    std::mutex m_lock;
    std::optional<std::array<std::uint32_t, 4>> m_words;
};

CStreamSettings sSettingsOf(std::uint32_t settingsWord, std::uint32_t standardWord) {
    CStreamSettings settings;
    settings.m_byResolution = static_cast<std::uint8_t>(settingsWord & 0xFFU);
    settings.m_byFrameRate = static_cast<std::uint8_t>((settingsWord >> 8) & 0xFFU);
    settings.m_usBitRate = static_cast<std::uint16_t>(settingsWord >> 16);
    settings.m_iStandard = static_cast<std::int32_t>(standardWord);
    return settings;
}

void vPrintStream(std::ostream& out, bool mainStream, const CStreamSettings& settings) {
    out << (mainStream ? "main" : "sub") << " stream: resolution "
        << (mainStream ? strNameOfCode(kMainResolutions, settings.m_byResolution)
                       : strNameOfCode(kSubResolutions, settings.m_byResolution))
        << ", frame rate " << +settings.m_byFrameRate << ", bit rate " << settings.m_usBitRate
        << ", standard " << strNameOfCode(kStandards, settings.m_iStandard) << '\n';
}

}  // namespace

int iVideoParamsVerb(const CCliOptions& options, CLanStation& lan, CCliView& view,
                     std::ostream& out, std::ostream& err) {
    std::string error;
    const std::optional<CVideoParamsArgs> args = sParseArgs(options.m_args, error, err);
    if (!args) {
        err << "kestrel-cli: " << error << '\n';
        return kCliUsage;
    }
    CStation& station = lan.station();
    if (const int code = iOpenDevice(options, station, view, out, err); code != kCliOk) {
        return code;
    }
    CVideoParamsRecord record;
    const CAttachedView attached(station.videoParam(), record);

    const std::string& ip = options.m_args[0];
    const auto timeout = std::chrono::milliseconds(options.m_iTimeoutMs);
    // Reads the settings; kCliOk when they arrived.
    const auto read = [&]() {
        record.vForget();
        if (!station.fgSendToDev(ip, bufBuildGetVideoParam())) {
            return iSendFailed(ip, err);
        }
        const std::uint8_t reply =
            view.byWaitReply({kReplyVideoParam, kReplyVideoParamFailed}, Clock::now() + timeout);
        if (reply == 0) {
            return kCliNoAnswer;
        }
        return reply == kReplyVideoParam && record.sWords() ? kCliOk : kCliDeviceFailed;
    };

    int writeCode = kCliOk;
    if (args->m_main || args->m_sub) {
        CStreamSettings mainStream = args->m_main.value_or(CStreamSettings{});
        CStreamSettings subStream = args->m_sub.value_or(CStreamSettings{});
        // One request carries both streams: the one not given goes as the device has it.
        if (!args->m_main || !args->m_sub) {
            if (const int code = read(); code != kCliOk) {
                view.vFlushLines(out);
                return code;
            }
            const std::array<std::uint32_t, 4> words = *record.sWords();
            mainStream = args->m_main.value_or(sSettingsOf(words[0], words[1]));
            subStream = args->m_sub.value_or(sSettingsOf(words[2], words[3]));
        }
        if (!station.fgSendToDev(ip, bufBuildSetVideoParam(mainStream, subStream))) {
            view.vFlushLines(out);
            return iSendFailed(ip, err);
        }
        const std::uint8_t reply = view.byWaitReply(
            {kReplySetVideoParamOk, kReplySetVideoParamFailed}, Clock::now() + timeout);
        if (reply == 0) {
            view.vFlushLines(out);
            return kCliNoAnswer;
        }
        // A refused write is still followed by the read, to show what the device keeps.
        writeCode = reply == kReplySetVideoParamOk ? kCliOk : kCliDeviceFailed;
    }
    const int readCode = read();
    view.vFlushLines(out);
    if (readCode == kCliOk) {
        const std::array<std::uint32_t, 4> words = *record.sWords();
        vPrintStream(out, true, sSettingsOf(words[0], words[1]));
        vPrintStream(out, false, sSettingsOf(words[2], words[3]));
    }
    return writeCode != kCliOk ? writeCode : readCode;
}
