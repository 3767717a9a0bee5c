// CSimDevice: the motor requests, and the motors moving over time.

#include "devsim/sim_motor.h"

#include <algorithm>
#include <cstdlib>

#include "devsim/sim_device.h"

namespace devsim {

namespace {

constexpr std::size_t kMotorTimerBytes = 18;
constexpr std::size_t kMotorMoveBytes = 20;
constexpr std::uint16_t kDirectionUp = 2;
constexpr std::uint16_t kDirectionDown = 3;
constexpr std::size_t kAxisH = 0;
constexpr std::size_t kAxisV = 1;

std::uint8_t iCode(ERequest code) {
    return static_cast<std::uint8_t>(code);
}

}  // namespace

CSimMotorRun sStartMotorRun(std::uint16_t from, int steps, std::uint16_t range, std::uint8_t timer,
                            CSimTime now) {
    CSimMotorRun run;
    run.m_usFrom = from;
    run.m_usTo = static_cast<std::uint16_t>(std::clamp(from + steps, 0, static_cast<int>(range)));
    run.m_start = now;
    run.m_stepPeriod =
        std::chrono::duration_cast<CSimClock::duration>(kMotorTimerUnit * std::max<int>(timer, 1));
    return run;
}

std::uint16_t iMotorPosAt(const CSimMotorRun& run, CSimTime now) {
    if (now <= run.m_start) {
        return run.m_usFrom;
    }
    const auto stepsDone = (now - run.m_start) / run.m_stepPeriod;
    const int distance = std::abs(run.m_usTo - run.m_usFrom);
    const int moved = static_cast<int>(std::min<decltype(stepsDone)>(stepsDone, distance));
    return static_cast<std::uint16_t>(run.m_usTo > run.m_usFrom ? run.m_usFrom + moved
                                                                : run.m_usFrom - moved);
}

void CSimDevice::vAdvanceMotors(CSimTime now) {
    std::uint16_t* positions[] = {&m_state.m_usMotorPosH, &m_state.m_usMotorPosV};
    for (std::size_t axis = 0; axis < m_motorRuns.size(); ++axis) {
        std::optional<CSimMotorRun>& run = m_motorRuns[axis];
        if (!run) {
            continue;
        }
        *positions[axis] = iMotorPosAt(*run, now);
        if (*positions[axis] == run->m_usTo) {
            run.reset();
        }
    }
}

void CSimDevice::vHandleMotor(std::uint8_t code, std::span<const std::uint8_t> request,
                              CSimTime now, COutcome& outcome) {
    // Only cameras have motors; the others answer every motor request with status 0.
    const bool motor = m_state.fgIsCamera();
    auto status = [motor](std::uint8_t ok) { return motor ? ok : std::uint8_t{0}; };
    vAdvanceMotors(now);
    switch (static_cast<ERequest>(code)) {
        case ERequest::GetMotorTimer:
            outcome.m_replies.push_back(sBuildMotorTimerReply(
                status(kMotorTimerOk), m_state.m_ucMotorTimerH, m_state.m_ucMotorTimerV));
            return;
        case ERequest::SetMotorTimer:
            if (motor && request.size() >= kMotorTimerBytes) {
                m_state.m_ucMotorTimerH = request[16];
                m_state.m_ucMotorTimerV = request[17];
            }
            return;
        case ERequest::GetMotorPos:
            outcome.m_replies.push_back(sBuildMotorPosReply(
                status(kMotorPosOk), m_state.m_usMotorPosH, m_state.m_usMotorPosV));
            return;
        case ERequest::ZeroMotor:
            if (motor) {
                m_motorRuns = {};
                m_state.m_usMotorPosH = 0;
                m_state.m_usMotorPosV = 0;
            }
            outcome.m_replies.push_back(sBuildStatusReply(code, status(kMotorZeroOk)));
            return;
        case ERequest::StopHorizontal:
            m_motorRuns[kAxisH].reset();
            outcome.m_replies.push_back(sBuildStatusReply(code, status(kMotorStopHOk)));
            return;
        case ERequest::StopVertical:
            m_motorRuns[kAxisV].reset();
            outcome.m_replies.push_back(sBuildStatusReply(code, status(kMotorStopVOk)));
            return;
        default:
            break;
    }
    if (request.size() < kMotorMoveBytes) {
        return;
    }
    const int steps = iGetU16(request, 18);
    // A new move of a running motor starts from where it is.
    const auto start = [&](std::size_t axis, int signedSteps) {
        if (!motor) {
            return;
        }
        const bool horizontal = axis == kAxisH;
        m_motorRuns[axis] =
            sStartMotorRun(horizontal ? m_state.m_usMotorPosH : m_state.m_usMotorPosV, signedSteps,
                           horizontal ? kMotorRangeH : kMotorRangeV,
                           horizontal ? m_state.m_ucMotorTimerH : m_state.m_ucMotorTimerV, now);
    };
    if (code == iCode(ERequest::MotorRight) || code == iCode(ERequest::MotorLeft)) {
        const bool right = code == iCode(ERequest::MotorRight);
        start(kAxisH, right ? steps : -steps);
        outcome.m_replies.push_back(
            sBuildStatusReply(code, status(right ? kMotorRightOk : kMotorLeftOk)));
        return;
    }
    const std::uint16_t direction = iGetU16(request, 16);
    if (direction == kDirectionUp) {
        start(kAxisV, steps);
        outcome.m_replies.push_back(sBuildStatusReply(code, status(kMotorUpOk)));
    } else if (direction == kDirectionDown) {
        start(kAxisV, -steps);
        outcome.m_replies.push_back(sBuildStatusReply(kReplyMotorDown, status(kMotorDownOk)));
    } else {
        outcome.m_replies.push_back(sBuildStatusReply(code, 0));
    }
}

}  // namespace devsim
