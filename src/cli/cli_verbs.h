#pragma once

// The table of kestrel-cli's verbs: one row per verb with its name, the arguments it
// takes, its lines of the usage text and its handler. Parsing (cli_options.cpp), --help
// (strCliUsage) and dispatch (iRunCli) all read it; a verb named nowhere else.
//
// Adding a verb: its unit src/cli/cmd_<name>.{h,cpp} with the handler, one row in
// cli_verbs.cpp, the file in src/cli/CMakeLists.txt, and its end-to-end test.

#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "cli/cli_options.h"

class CCliView;
class CLanStation;

// What the parser checks of a verb's arguments before the verb's own check.
enum class EVerbArgs {
    kFixedDevice,  // exactly m_uArgs arguments, the first the device's IPv4 address
    kFixed,        // exactly m_uArgs arguments
    kDevice,       // the device's IPv4 address first, the rest the verb checks itself
    kOwn,          // the verb checks all its arguments and options itself
};

// A verb that needs no station: it opens what it uses itself (or nothing).
using CStandaloneVerb = int (*)(const CCliOptions& options, std::ostream& out, std::ostream& err);
// A verb run on the started station, its password set.
using CStationVerb = int (*)(const CCliOptions& options, CLanStation& lan, CCliView& view,
                             std::ostream& out, std::ostream& err);
// A verb's own check of its arguments: the usage error, or empty when they will do.
using CVerbArgsCheck = std::string (*)(const std::vector<std::string>& args);

struct CCliVerb {
    std::string_view m_name;
    EVerbArgs m_eArgs = EVerbArgs::kOwn;
    size_t m_uArgs = 0;        // with kFixed and kFixedDevice
    std::string_view m_usage;  // its lines of the usage text, each ending in '\n'
    CVerbArgsCheck m_check = nullptr;
    std::variant<CStandaloneVerb, CStationVerb> m_run;
};

// Every verb, in the order of the usage text.
std::span<const CCliVerb> spanCliVerbs();
// The verb called name, or nullptr.
const CCliVerb* psFindCliVerb(std::string_view name);
