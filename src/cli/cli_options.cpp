#include "cli/cli_options.h"

#include <charconv>
#include <map>

#include "cli/cmd_upgrade.h"
#include "history/history_store.h"
#include "protocol/requests.h"

namespace {

// A command that checks its own arguments (after the device address).
constexpr size_t kOwnArgs = static_cast<size_t>(-1);
// A command that checks its own options and takes no device address first.
constexpr size_t kOwnOptions = static_cast<size_t>(-2);

// Commands and the number of arguments each takes.
const std::map<std::string, size_t, std::less<>>& mapCommandArgs() {
    static const std::map<std::string, size_t, std::less<>> commands{
        {"search", 0},
        {"login", 1},
        {"restart", 1},
        {"reset", 1},
        {"format-sd", 1},
        {"set-uid", 2},
        {"set-password", 2},
        {"set-net", 7},
        {"wifi-connect", 4},
        {"qr", 2},
        {"stream", kOwnArgs},
        {"horn", kOwnArgs},
        {"video-params", kOwnArgs},
        {"motor", kOwnArgs},
        {"listen", kOwnArgs},
        {"snapshot", kOwnArgs},
        {"check", kOwnOptions},
        {"config", 1},
        {"sensors", 1},
        {"config-set", kOwnArgs},
        {"log", kOwnArgs},
        {"key", kOwnArgs},
        {"history", kOwnOptions},
    };
    return commands;
}

bool fgParseInt(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && ptr == end;
}

}  // namespace

std::string strCliUsage() {
    return "usage: kestrel-cli [--bind ADDR/PREFIX]... [--password PW] [--timeout MS]\n"
           "                   [--json | --csv] [--verbose] [--db sqlite:PATH|postgresql://...]\n"
           "                   [--station NAME] [--operator NAME] COMMAND [ARGS]\n"
           "commands:\n"
           "  search [--expect N|FILE]  list the devices that answer a search; with --expect,\n"
           "                            compare them with the bench (exit 3 incomplete)\n"
           "  login IP                  check the password (exit 0 accepted, 3 refused, 4 no "
           "answer)\n"
           "  restart IP | reset IP | format-sd IP\n"
           "  set-uid IP UID | set-password IP NEWPW\n"
           "  set-net IP wired|wifi ADDR MASK GATEWAY DNS dhcp|static\n"
           "  wifi-connect IP SSID PASSWORD ENC\n"
           "  qr UID FILE               the UID as a QR code picture (BMP, or PNG for .png)\n"
           "  stream IP [--stream main|sub|listen] [--seconds N] [--record FILE]\n"
           "                            receive the live stream (exit 0 media, 3 login "
           "refused, 4 none)\n"
           "  video-params IP [--main RES,FPS,BITRATE,STANDARD] [--sub ...]\n"
           "                            read (or write, then read back) the video parameters\n"
           "  motor IP position|timer [H V]|zero|left|right|up|down STEPS|stop-h|stop-v\n"
           "                            read, set or move the pan/tilt motors\n"
           "  listen IP [--seconds N] --out FILE.wav\n"
           "                            record the device's sound as a WAV file (exit 0 "
           "sound,\n"
           "                            3 login refused, 4 none)\n"
           "  snapshot IP [--stream main|sub] [--seconds N] FILE.png\n"
           "                            one decoded key frame as a PNG picture (exit 0 written,\n"
           "                            3 refused or undecodable, 4 no key frame)\n"
           "  horn IP [FILE]            push FILE (default Audio.bin) to the device's horn\n"
           "                            (exit 0 sent, 3 connection lost, 4 not reached)\n"
           "  check [--expect N|FILE] [--version V] [--steps login,uid,version,sd,wifi,video,\n"
           "        audio,horn] [--parallel K] [--stream main|sub] [--horn-file FILE]\n"
           "        [--limit SECONDS] --report DIR [IP...]\n"
           "                            the line check of every device found (or listed)\n"
           "                            (exit 0 all passed, 3 any failed or bench incomplete)\n"
           "  upgrade FILE... --to IP... | --all [--type uboot|env|kernel|rootfs|config|app|"
           "others]\n"
           "                            send up to 8 firmware files (exit 0 all succeeded,\n"
           "                            3 any failed, 4 none answered)\n"
           "  config IP                 print the device's configuration text\n"
           "  config-set IP... KEY=VALUE  write one configuration item to each device\n"
           "                            (exit 0 all agreed, 3 any refused, 4 none answered)\n"
           "  sensors IP                the device's sensors (index, kind, name; --json)\n"
           "  log IP [--seconds N]      print the device's log for N seconds (default 10)\n"
           "  key IP CODE [PARAM...]    send a control command with parameter bytes\n"
           "  history [UID|MAC|IP] [--since DATE] [--kind KIND] [--limit N] [--json|--csv]\n"
           "                            the recorded jobs of a device (no key: of the bench),\n"
           "                            newest first\n"
           "--db, --station and --operator say where and as whom checks, upgrades and setting\n"
           "commands are recorded: --db sqlite:PATH the station's own file (default\n"
           "history.sqlite in its folder), --db postgresql://... a shared server as well.\n"
           "--verbose writes the station's diagnostic lines to standard error (or to the\n"
           "file KESTREL_LOG names).\n"
           "exit: 0 success, 1 the station could not open its sockets or send, 2 usage error,\n"
           "      3 the device reported failure, 4 no answer in time\n";
}

CCliParse sParseCliArgs(const std::vector<std::string>& args) {
    CCliParse result;
    CCliOptions options;
    size_t i = 0;
    const auto fail = [&result](std::string message) {
        result.m_strError = std::move(message);
        return result;
    };
    for (; i < args.size() && args[i].starts_with("--"); ++i) {
        const std::string& flag = args[i];
        if (flag == "--help") {
            result.m_fgHelp = true;
            return result;
        }
        if (flag == "--verbose") {
            options.m_fgVerbose = true;
            continue;
        }
        if (flag == "--json" || flag == "--csv") {
            options.m_eFormat = flag == "--json" ? EListFormat::kJson : EListFormat::kCsv;
            continue;
        }
        if (flag != "--bind" && flag != "--password" && flag != "--timeout" && flag != "--db" &&
            flag != "--station" && flag != "--operator") {
            return fail("unknown option " + flag);
        }
        if (i + 1 >= args.size()) {
            return fail(flag + " needs a value");
        }
        const std::string& value = args[++i];
        if (flag == "--bind") {
            const auto bind = sParseBindAddr(value);
            if (!bind) {
                return fail("--bind wants ADDR/PREFIX, e.g. 127.0.0.1/8, not '" + value + "'");
            }
            if (!options.m_binds) {
                options.m_binds.emplace();
            }
            options.m_binds->push_back(*bind);
        } else if (flag == "--password") {
            options.m_strPassword = value;
        } else if (flag == "--db") {
            options.m_dbs.push_back(value);
        } else if (flag == "--station") {
            options.m_strStation = value;
        } else if (flag == "--operator") {
            options.m_strOperator = value;
        } else if (!fgParseInt(value, options.m_iTimeoutMs) || options.m_iTimeoutMs < 1) {
            return fail("--timeout wants a positive number of milliseconds, not '" + value + "'");
        }
    }
    if (std::string error; !sParseHistoryDb(options.m_dbs, {}, error)) {
        return fail(error);
    }
    if (i >= args.size()) {
        return fail("no command given");
    }
    options.m_strCommand = args[i++];
    if (options.m_strCommand == "upgrade") {
        options.m_args.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
        std::string error;
        if (!sParseUpgradeArgs(options.m_args, error)) {
            return fail(error);
        }
        result.m_options = std::move(options);
        return result;
    }
    const auto command = mapCommandArgs().find(options.m_strCommand);
    if (command == mapCommandArgs().end()) {
        return fail("unknown command " + options.m_strCommand);
    }
    options.m_args.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
    // search takes its options (--expect) after the command too.
    if (command->second == kOwnOptions || options.m_strCommand == "search") {
        result.m_options = std::move(options);
        return result;
    }
    if (command->second == kOwnArgs && options.m_args.empty()) {
        return fail(options.m_strCommand + " wants the device's address");
    }
    if (command->second != kOwnArgs && options.m_args.size() != command->second) {
        return fail(options.m_strCommand + " takes " + std::to_string(command->second) +
                    " argument(s), got " + std::to_string(options.m_args.size()));
    }
    if (!options.m_args.empty() && options.m_strCommand != "search" &&
        options.m_strCommand != "qr") {
        std::uint32_t addr = 0;
        if (!fgParseIp(options.m_args[0], addr)) {
            return fail("'" + options.m_args[0] + "' is not an IPv4 address");
        }
    }
    if (options.m_strCommand == "set-net") {
        const std::string& block = options.m_args[1];
        const std::string& mode = options.m_args[6];
        if (block != "wired" && block != "wifi") {
            return fail("set-net wants wired or wifi, not '" + block + "'");
        }
        if (mode != "dhcp" && mode != "static") {
            return fail("set-net wants dhcp or static, not '" + mode + "'");
        }
    }
    // The station's own rule: a UID is written only when it has all its characters.
    if (options.m_strCommand == "set-uid" && options.m_args[1].size() != kUidChars) {
        return fail("Length is not equal to 20");
    }
    if (options.m_strCommand == "wifi-connect") {
        int encryption = 0;
        if (!fgParseInt(options.m_args[3], encryption) || encryption < 0) {
            return fail("ENC must be the encryption number, not '" + options.m_args[3] + "'");
        }
    }
    result.m_options = std::move(options);
    return result;
}
