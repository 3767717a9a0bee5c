#include "protocol/motor_feature.h"

#include "protocol/cmd_header.h"
#include "protocol/station.h"

namespace {

struct CMotorStatus {
    std::uint8_t m_byType;
    std::uint8_t m_byOk;  // the parameter byte of success
    int m_iOk;
    int m_iFail;
};

constexpr std::uint8_t kMotorTimerOk = 0x99;
constexpr std::uint8_t kMotorPosOk = 0x9D;
constexpr std::size_t kOffTimerH = 16;
constexpr std::size_t kOffTimerV = 17;
constexpr std::size_t kOffPosH = 16;
constexpr std::size_t kOffPosV = 18;

// A failed move keeps its reply type as its code (no line), as the device reports it.
constexpr CMotorStatus kMotorStatuses[] = {
    {kCmdGetMotorTimer, kMotorTimerOk, 153, 154},
    {kCmdGetMotorPos, kMotorPosOk, 157, 158},
    {kCmdZeroMotorPos, 0x9F, 159, 160},
    {kCmdMotorRight, 0xA1, 161, kCmdMotorRight},
    {kCmdMotorLeft, 0xA3, 163, kCmdMotorLeft},
    {kCmdMotorStopHoriz, 0xA5, 165, kCmdMotorStopHoriz},
    {kCmdMotorVertical, 0xA7, 167, kCmdMotorVertical},
    {kReplyMotorDown, 0xA9, 169, 170},
    {kCmdMotorStopVert, 0xAB, 171, 172},
};

}  // namespace

CMotorFeature::CMotorFeature(CStation& station) {
    for (const CMotorStatus& status : kMotorStatuses) {
        station.router().vRoute(status.m_byType, *this);
    }
    station.router().vRoute(kCmdSetMotorTimer, *this);
}

int CMotorFeature::iOnReply(const CReplyReader& reply, std::uint32_t /*senderNet*/) {
    const std::uint8_t type = reply.byType();
    const std::uint8_t param = reply.byParam();
    // A cut reply fills nothing; its result line is still written.
    const auto view = m_view.psGet();
    if (type == kCmdGetMotorTimer && param == kMotorTimerOk && view != nullptr &&
        reply.size() > kOffTimerV) {
        view->vFillMotorTimer(reply.byAt(kOffTimerH), reply.byAt(kOffTimerV));
    } else if (type == kCmdGetMotorPos && param == kMotorPosOk && view != nullptr &&
               reply.size() > kOffPosV + 1) {
        view->vFillMotorPos(reply.usAt(kOffPosH), reply.usAt(kOffPosV));
    }
    for (const CMotorStatus& status : kMotorStatuses) {
        if (status.m_byType == type) {
            return param == status.m_byOk ? status.m_iOk : status.m_iFail;
        }
    }
    return type;
}
