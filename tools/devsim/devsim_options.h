#pragma once

// The command line of kestrel-devsim, parsed into a fleet configuration plus the
// per-device changes to make before the fleet starts.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "devsim/dev_sim_fleet.h"

namespace devsim {

// One "--behave INDEX:KIND[=VALUE]" change; no index means every device.
struct CDeviceTweak {
    std::optional<std::size_t> m_index;
    std::string m_strKind;
    std::string m_strValue;
};

struct CDevSimOptions {
    CDevSimConfig m_config;
    std::vector<CDeviceTweak> m_tweaks;
    bool m_fgAnnounce = false;
    std::uint32_t m_uiAnnounceType = kAnnounceLogin;
    bool m_fgList = false;
    bool m_fgHelp = false;
};

// Most devices one process simulates.
inline constexpr std::size_t kFleetMax = 5000;

// Parses the arguments (without the program name). 0 when they make a runnable fleet
// (or ask for help); -1 with a one-line reason in error otherwise.
int iParseOptions(const std::vector<std::string>& args, CDevSimOptions& options,
                  std::string& error);

// Applies one change to a device. 0, or -1 with the reason when kind or value is wrong.
int iApplyTweak(const CDeviceTweak& tweak, CSimDeviceState& state, CSimBehaviour& behaviour,
                std::string& error);

// The --help text.
std::string strUsage();

}  // namespace devsim
