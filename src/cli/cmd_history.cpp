#include "cli/cmd_history.h"

#include <charconv>

#include "app/file_util.h"
#include "app/str_util.h"
#include "cli/cli_runner.h"
#include "history/history_format.h"

std::optional<CHistoryConfig> sCliHistoryConfig(const CCliOptions& options, std::string& error) {
    return sParseHistoryDb(options.m_dbs, strGetWritableDir(strGetExeDir()) + kHistoryFileName,
                           error);
}

CCliHistory::CCliHistory(const CCliOptions& options)
    : m_options(options),
      m_context{options.m_strStation.empty() ? strDefaultStationName() : options.m_strStation,
                options.m_strOperator} {}

void CCliHistory::vRecord(const std::vector<CDeviceRecord>& records, std::ostream& err) const {
    if (records.empty()) {
        return;
    }
    std::string error;
    const std::optional<CHistoryConfig> config = sCliHistoryConfig(m_options, error);
    const std::unique_ptr<CHistoryStore> store =
        config ? CHistoryStore::psOpen(*config, error) : nullptr;
    if (!store || !store->fgRecord(records, error)) {
        err << "kestrel-cli: history not recorded: " << error << '\n';
        return;
    }
    const CForwardResult forwarded = store->sForward();
    if (forwarded.m_llWaiting != 0) {
        err << "kestrel-cli: history: " << forwarded.m_llWaiting << " record(s) wait for the server"
            << (forwarded.m_strError.empty() ? "" : " (" + forwarded.m_strError + ")") << '\n';
    }
}

std::string_view strRecordedKind(const std::string& command) {
    for (const std::string_view kind : {kJobSetUid, kJobSetPassword, kJobSetNet, kJobWifiConnect,
                                        kJobReset, kJobFormatSd, kJobConfigSet}) {
        if (command == kind) {
            return kind;
        }
    }
    return {};
}

EJobOutcome eCliOutcome(int code) {
    switch (code) {
        case kCliOk:
            return EJobOutcome::kPass;
        case kCliDeviceFailed:
            return EJobOutcome::kFail;
        case kCliNoAnswer:
            return EJobOutcome::kNoAnswer;
        default:
            return EJobOutcome::kError;
    }
}

std::string strCommandDetail(const CCliOptions& options) {
    const std::vector<std::string>& args = options.m_args;
    const std::string& command = options.m_strCommand;
    if (command == "set-uid" && args.size() == 2) {
        return "UID " + args[1];
    }
    if (command == "set-net" && args.size() == 7) {
        return args[1] + " " + args[2] + " mask " + args[3] + " gateway " + args[4] + " dns " +
               args[5] + " " + args[6];
    }
    if (command == "wifi-connect" && args.size() == 4) {
        return "SSID " + args[1];
    }
    if (command == "config-set" && !args.empty()) {
        // The key only: a value may be a secret (a Wi-Fi password).
        return "key " + args.back().substr(0, args.back().find('='));
    }
    return {};
}

int iHistoryCommand(const CCliOptions& options, std::ostream& out, std::ostream& err) {
    std::string key;
    std::optional<long long> sinceMs;
    std::string kind;
    int limit = 100;
    EListFormat format = options.m_eFormat;
    const std::vector<std::string>& args = options.m_args;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--json" || arg == "--csv") {
            format = arg == "--json" ? EListFormat::kJson : EListFormat::kCsv;
            continue;
        }
        if (arg == "--since" || arg == "--kind" || arg == "--limit") {
            if (i + 1 >= args.size()) {
                err << "kestrel-cli: " << arg << " needs a value\n";
                return kCliUsage;
            }
            const std::string& value = args[++i];
            if (arg == "--since") {
                sinceMs = sParseUtcDateMs(value);
                if (!sinceMs) {
                    err << "kestrel-cli: --since wants YYYY-MM-DD[THH:MM[:SS]] (UTC), not '"
                        << value << "'\n";
                    return kCliUsage;
                }
            } else if (arg == "--kind") {
                kind = value;
            } else {
                const auto [ptr, code] =
                    std::from_chars(value.data(), value.data() + value.size(), limit);
                if (code != std::errc() || ptr != value.data() + value.size() || limit < 1 ||
                    limit > 1000000) {
                    err << "kestrel-cli: --limit wants 1 to 1000000, not '" << value << "'\n";
                    return kCliUsage;
                }
            }
            continue;
        }
        if (arg.starts_with("--") || !key.empty()) {
            err << "kestrel-cli: history takes one UID, MAC or IP and --since, --kind, --limit,"
                   " --json, --csv; not '"
                << arg << "'\n";
            return kCliUsage;
        }
        key = arg;
    }
    CHistoryQuery query = sQueryForKey(key);
    query.m_llSinceMs = sinceMs.value_or(-1);
    query.m_strKind = kind;
    query.m_iLimit = limit;

    std::string error;
    const std::optional<CHistoryConfig> config = sCliHistoryConfig(options, error);
    const std::unique_ptr<CHistoryStore> store =
        config ? CHistoryStore::psOpen(*config, error) : nullptr;
    std::vector<CDeviceRecord> records;
    EHistorySource source = EHistorySource::kLocal;
    if (!store || !store->fgQuery(query, records, source, error)) {
        err << "kestrel-cli: cannot read the history: " << error << '\n';
        return kCliSetupFailed;
    }
    if (store->fgHasServer() && source == EHistorySource::kLocal) {
        err << "kestrel-cli: history: the server did not answer; this station's records only ("
            << store->iWaiting() << " wait for the server)\n";
    }
    switch (format) {
        case EListFormat::kJson:
            out << strHistoryJson(records);
            break;
        case EListFormat::kCsv:
            out << strHistoryCsv(records);
            break;
        case EListFormat::kTable:
            out << strHistoryTable(records);
            break;
    }
    return kCliOk;
}
