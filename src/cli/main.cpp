// kestrel-cli: the headless station for production-line scripts and support staff.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "app/log.h"
#include "cli/cli_options.h"
#include "cli/cli_runner.h"
#include "platform/env.h"
#include "platform/paths.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const CCliParse parsed = sParseCliArgs(args);
    if (parsed.m_fgHelp) {
        std::cout << strCliUsage();
        return kCliOk;
    }
    if (!parsed.m_options) {
        std::cerr << "kestrel-cli: " << parsed.m_strError << "\n" << strCliUsage();
        return kCliUsage;
    }
    // Scripts read standard error for the station's own problems; the diagnostic
    // lines go there only when asked for.
    if (!parsed.m_options->m_fgVerbose && !strGetEnv("KESTREL_LOG")) {
        vSetLogLevel({}, ELogLevel::kOff);
    }
    try {
        return iRunCli(*parsed.m_options, std::cout, std::cerr);
    } catch (const std::exception& error) {
        std::cerr << "kestrel-cli: " << error.what() << '\n';
        return kCliSetupFailed;
    }
}
