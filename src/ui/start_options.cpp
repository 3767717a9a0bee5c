#include "ui/start_options.h"

#include <charconv>

#include "net/socket_layer.h"

namespace {
bool fgParseCount(const std::string& text, int& count) {
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(text.data(), last, count);
    return error == std::errc{} && end == last;
}
}  // namespace

CStartOptions sParseStartOptions(const std::vector<std::string>& args) {
    CStartOptions options;
    for (std::size_t at = 0; at < args.size(); ++at) {
        const std::string& arg = args[at];
        if (arg == "--bind") {
            if (at + 1 >= args.size()) {
                options.m_strError = "--bind needs ADDR/PREFIX";
                return options;
            }
            const std::optional<CInterfaceAddr> bind = sParseBindAddr(args[++at]);
            if (!bind) {
                options.m_strError = "not an ADDR/PREFIX: " + args[at];
                return options;
            }
            options.m_binds.push_back(*bind);
        } else if (arg == "--demo") {
            options.m_iDemoDevices = kDemoDefaultDevices;
            int count = 0;
            if (at + 1 < args.size() && fgParseCount(args[at + 1], count)) {
                ++at;
                if (count < 1 || count > kDemoMaxDevices) {
                    options.m_strError = "--demo takes 1 to 1000 devices";
                    return options;
                }
                options.m_iDemoDevices = count;
            }
        } else if (arg == "--screenshot") {
            if (at + 1 >= args.size() || args[at + 1].empty()) {
                options.m_strError = "--screenshot needs FILE";
                return options;
            }
            options.m_strScreenshot = args[++at];
        } else {
            options.m_strError = "unknown argument: " + arg;
            return options;
        }
    }
    if (options.m_iDemoDevices > 0 && options.m_binds.empty()) {
        CInterfaceAddr loopback;
        fgParseIp("127.0.0.1", loopback.m_uiAddr);
        fgParseIp("255.0.0.0", loopback.m_uiMask);
        options.m_binds.push_back(loopback);
    }
    return options;
}
