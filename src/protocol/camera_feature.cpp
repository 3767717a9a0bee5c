#include "protocol/camera_feature.h"

#include "app/log.h"
#include "protocol/cmd_header.h"
#include "protocol/station.h"

namespace {

constexpr int kFlipEntries = 4;
constexpr int kDayNightEntries = 3;
constexpr std::size_t kOffAction = 16;
constexpr std::size_t kOffActionStatus = 20;

// Camera action acknowledgements by action code.
const char* pszCameraActionKey(std::uint32_t action) {
    switch (action) {
        case 0:
            return "AF stop cmd";
        case 3:
            return "Focus Near";
        case 4:
            return "Focus Far";
        case 5:
            return "ZOOM OUT";
        case 6:
            return "ZOOM IN";
        case 7:
            return "Up";
        case 8:
            return "Down";
        case 9:
            return "Left";
        case 10:
            return "Right";
        case CCameraFeature::kActionCalibrate:
            return "Start the calibration";
        default:
            return nullptr;
    }
}

}  // namespace

CCameraFeature::CCameraFeature(CStation& station) : m_station(station) {
    station.router().vRoute(kCmdGetFlip, *this);
    station.router().vRoute(kCmdGetDayNight, *this);
    station.router().vRouteExt(kExtCameraActionAck, *this);
}

int CCameraFeature::iOnReply(const CReplyReader& reply, std::uint32_t senderNet) {
    const std::uint8_t type = reply.byType();
    const auto view = m_view.psGet();
    const int param = reply.byParam();
    if (type == kCmdGetFlip) {
        if (param < kFlipEntries && view != nullptr) {
            view->vSetFlip(param);
        }
        return type;
    }
    if (type == kCmdGetDayNight) {
        if (param < kDayNightEntries && view != nullptr) {
            view->vSetDayNight(param);
        }
        return type;
    }
    const std::uint32_t action = reply.uiAt(kOffAction);
    const char* key = pszCameraActionKey(action);
    if (key == nullptr) {
        return kNoResult;
    }
    if (action == kActionCalibrate) {
        {
            std::lock_guard guard(m_lock);
            m_fgCalibrating = true;
            m_uiCalibrationAddr = senderNet;
        }
        if (view != nullptr) {
            view->vStartCalibrationTimer();
        }
    }
    m_station.vReport(sAddrResult(senderNet, key));
    if (reply.uiAt(kOffActionStatus) != 0) {
        KLOG_INFO("af cmd fail, %d", static_cast<int>(action));
    }
    return kNoResult;
}

bool CCameraFeature::fgCalibrating() const {
    std::lock_guard guard(m_lock);
    return m_fgCalibrating;
}

std::uint32_t CCameraFeature::uiCalibrationAddr() const {
    std::lock_guard guard(m_lock);
    return m_uiCalibrationAddr;
}

void CCameraFeature::vEndCalibration() {
    std::uint32_t addr = 0;
    {
        std::lock_guard guard(m_lock);
        m_fgCalibrating = false;
        addr = m_uiCalibrationAddr;
    }
    m_station.vReport(sAddrResult(addr, "The calibration completed"));
}
