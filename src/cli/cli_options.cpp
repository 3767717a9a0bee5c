#include "cli/cli_options.h"

#include <charconv>

#include "cli/cli_verbs.h"
#include "history/history_store.h"
#include "net/socket_layer.h"

namespace {

bool fgParseInt(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && ptr == end;
}

}  // namespace

std::string strCliUsage() {
    std::string usage =
        "usage: kestrel-cli [--bind ADDR/PREFIX]... [--password PW] [--timeout MS]\n"
        "                   [--json | --csv] [--verbose] [--db sqlite:PATH|postgresql://...]\n"
        "                   [--station NAME] [--operator NAME] COMMAND [ARGS]\n"
        "commands:\n";
    for (const CCliVerb& verb : spanCliVerbs()) {
        usage += verb.m_usage;
    }
    usage +=
        "--db, --station and --operator say where and as whom checks, upgrades and setting\n"
        "commands are recorded: --db sqlite:PATH the station's own file (default\n"
        "history.sqlite in its folder), --db postgresql://... a shared server as well.\n"
        "--verbose writes the station's diagnostic lines to standard error (or to the\n"
        "file KESTREL_LOG names); KESTREL_LOG_LEVEL picks their levels (info,net=debug).\n"
        "exit: 0 success, 1 the station could not open its sockets or send, 2 usage error,\n"
        "      3 the device reported failure, 4 no answer in time\n";
    return usage;
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
    const CCliVerb* verb = psFindCliVerb(options.m_strCommand);
    if (verb == nullptr) {
        return fail("unknown command " + options.m_strCommand);
    }
    options.m_args.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
    const std::vector<std::string>& verbArgs = options.m_args;
    const bool fixed =
        verb->m_eArgs == EVerbArgs::kFixed || verb->m_eArgs == EVerbArgs::kFixedDevice;
    if (verb->m_eArgs == EVerbArgs::kDevice && verbArgs.empty()) {
        return fail(options.m_strCommand + " wants the device's address");
    }
    if (fixed && verbArgs.size() != verb->m_uArgs) {
        return fail(options.m_strCommand + " takes " + std::to_string(verb->m_uArgs) +
                    " argument(s), got " + std::to_string(verbArgs.size()));
    }
    if (verb->m_eArgs == EVerbArgs::kDevice || verb->m_eArgs == EVerbArgs::kFixedDevice) {
        std::uint32_t addr = 0;
        if (!fgParseIp(verbArgs[0], addr)) {
            return fail("'" + verbArgs[0] + "' is not an IPv4 address");
        }
    }
    if (verb->m_check != nullptr) {
        if (std::string error = verb->m_check(verbArgs); !error.empty()) {
            return fail(std::move(error));
        }
    }
    result.m_options = std::move(options);
    return result;
}
