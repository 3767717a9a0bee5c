// kestrel-devsim: a fleet of simulated devices until SIGINT or SIGTERM (Ctrl+C).

#include <cstdio>
#include <string>
#include <vector>

#include "devsim/dev_sim_fleet.h"
#include "devsim/devsim_options.h"
#include "platform/process.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

}  // namespace

int main(int argc, char** argv) {
    using namespace devsim;
    const std::vector<std::string> args(argv + 1, argv + argc);
    CDevSimOptions options;
    std::string error;
    if (iParseOptions(args, options, error) != 0) {
        std::fprintf(stderr, "kestrel-devsim: %s\nTry 'kestrel-devsim --help'.\n", error.c_str());
        return kExitUsage;
    }
    if (options.m_fgHelp) {
        std::fputs(strUsage().c_str(), stdout);
        return 0;
    }

    // Before any thread starts, so that none of the fleet's threads takes a request.
    vPrepareProcessRequests();

    CDevSimFleet fleet(options.m_config);
    for (const CDeviceTweak& tweak : options.m_tweaks) {
        for (std::size_t i = 0; i < fleet.iDeviceCount(); ++i) {
            if (!tweak.m_index || *tweak.m_index == i) {
                fleet.vUpdateDevice(
                    i, [&tweak, &error](CSimDeviceState& state, CSimBehaviour& behaviour) {
                        iApplyTweak(tweak, state, behaviour, error);
                    });
            }
        }
    }
    if (fleet.iStart(error) != 0) {
        std::fprintf(stderr, "kestrel-devsim: %s\n", error.c_str());
        return kExitFailed;
    }
    if (options.m_fgList) {
        for (std::size_t i = 0; i < fleet.iDeviceCount(); ++i) {
            const CSimDeviceState state = fleet.sDeviceState(i);
            std::printf("devsim: device %zu %s %s\n", i,
                        strIpText(fleet.sCommandEndpoint(i).m_uiAddr).c_str(),
                        state.m_strUid.c_str());
        }
    }
    std::printf("devsim: %zu devices ready\n", fleet.iDeviceCount());
    std::fflush(stdout);
    if (options.m_fgAnnounce) {
        fleet.iAnnounceAll(options.m_uiAnnounceType);
    }

    while (eWaitProcessRequest() == EProcessRequest::Announce) {
        const std::size_t sent = fleet.iAnnounceAll(options.m_uiAnnounceType);
        std::printf("devsim: %zu announcements sent\n", sent);
        std::fflush(stdout);
    }
    fleet.vStop();
    std::printf("devsim: stopped\n");
    return 0;
}
