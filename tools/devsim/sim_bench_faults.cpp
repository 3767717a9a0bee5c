#include "devsim/sim_bench_faults.h"

namespace devsim {

namespace {

constexpr std::size_t kVersionFieldMax = 31;

}  // namespace

int iApplyBenchFault(const std::string& kind, const std::string& value, CSimDeviceState& state,
                     CSimBehaviour& behaviour, std::string& error) {
    if (kind == "version") {
        if (value.empty() || value.size() > kVersionFieldMax) {
            error =
                "--behave version: needs 1 to " + std::to_string(kVersionFieldMax) + " characters";
            return -1;
        }
        state.m_strVersion = value;
    } else if (kind == "no-sd") {
        state.m_uiSdTotalMb = 0;
        state.m_uiSdFreeMb = 0;
    } else if (kind == "no-wifi") {
        state.m_wifiNets.clear();
        state.m_iWifiConnected = 0;
    } else if (kind == "no-video") {
        behaviour.m_stream.m_fgNoVideo = true;
    } else if (kind == "black-video") {
        behaviour.m_stream.m_fgBlackVideo = true;
    } else if (kind == "no-audio") {
        behaviour.m_stream.m_fgNoAudio = true;
    } else if (kind == "horn-refuse") {
        behaviour.m_horn.m_eFault = EHornFault::kRefuse;
    } else {
        return 1;
    }
    return 0;
}

std::string strBenchFaultUsage() {
    return R"(Line check faults:
  --behave INDEX:version=TEXT      report this firmware version
  --behave INDEX:no-sd             report no SD card
  --behave INDEX:no-wifi           see no Wi-Fi network
  --behave INDEX:no-video          the video streams send nothing
  --behave INDEX:black-video       the video streams show black
  --behave INDEX:no-audio          the listen stream sends nothing
  --behave INDEX:horn-refuse       the horn receiver refuses every connection

)";
}

}  // namespace devsim
