#pragma once

#include <optional>
#include <string>
#include <vector>

#include "net/lan_interfaces.h"

// How the device list is printed.
enum class EListFormat { kTable, kJson, kCsv };

// The command line of kestrel-cli, parsed.
struct CCliOptions {
    std::optional<std::vector<CInterfaceAddr>> m_binds;  // nullopt: every local interface
    std::string m_strPassword;                           // empty: the device default
    int m_iTimeoutMs = 1500;
    EListFormat m_eFormat = EListFormat::kTable;
    bool m_fgVerbose = false;        // diagnostic lines on standard error
    std::vector<std::string> m_dbs;  // --db: sqlite:PATH and/or postgresql://... (history)
    std::string m_strStation;        // the station's name in the history (empty: the host name)
    std::string m_strOperator;       // the operator's name in the history (may be empty)
    std::string m_strCommand;
    std::vector<std::string> m_args;
};

// The outcome of parsing: the options, or a message for a usage error.
struct CCliParse {
    std::optional<CCliOptions> m_options;
    std::string m_strError;
    bool m_fgHelp = false;
};

CCliParse sParseCliArgs(const std::vector<std::string>& args);

// The usage text printed by --help and after a usage error.
std::string strCliUsage();
