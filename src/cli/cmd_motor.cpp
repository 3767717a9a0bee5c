#include "cli/cmd_motor.h"

#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "cli/cli_runner.h"
#include "cli/cli_session.h"
#include "cli/verb_support.h"
#include "protocol/cmd_header.h"
#include "protocol/requests.h"

namespace {

using Clock = CliClock;

// One action: its request, the reply type the device answers with and the result
// code of success.
struct CMotorAction {
    std::string_view m_strName;
    std::uint8_t m_byReply;
    int m_iOk;
};

constexpr int kTimerOk = 153;
constexpr int kPositionOk = 157;

constexpr CMotorAction kActions[] = {
    {"position", kCmdGetMotorPos, kPositionOk},
    {"timer", kCmdGetMotorTimer, kTimerOk},
    {"zero", kCmdZeroMotorPos, 159},
    {"right", kCmdMotorRight, 161},
    {"left", kCmdMotorLeft, 163},
    {"stop-h", kCmdMotorStopHoriz, 165},
    {"up", kCmdMotorVertical, 167},
    {"down", kReplyMotorDown, 169},
    {"stop-v", kCmdMotorStopVert, 171},
};

struct CMotorArgs {
    const CMotorAction* m_pAction = nullptr;
    std::uint16_t m_usSteps = 0;
    std::optional<std::pair<std::uint8_t, std::uint8_t>> m_timers;  // timer H V: to write
};

bool fgIsMove(std::string_view name) {
    return name == "left" || name == "right" || name == "up" || name == "down";
}

std::optional<CMotorArgs> sParseArgs(const std::vector<std::string>& args, std::string& error,
                                     std::ostream& notes) {
    CMotorArgs parsed;
    if (args.size() >= 2) {
        for (const CMotorAction& action : kActions) {
            if (action.m_strName == args[1]) {
                parsed.m_pAction = &action;
            }
        }
    }
    if (parsed.m_pAction == nullptr) {
        error =
            "motor wants position, timer [H V], zero, left|right|up|down STEPS, stop-h or stop-v";
        return std::nullopt;
    }
    const std::string_view name = parsed.m_pAction->m_strName;
    const std::size_t values = args.size() - 2;
    if (fgIsMove(name)) {
        const std::optional<long long> steps =
            values == 1 ? sParseWholeNumber(args[2]) : std::nullopt;
        if (!steps) {
            error = "motor " + std::string(name) + " wants a number of steps";
            return std::nullopt;
        }
        parsed.m_usSteps = iFieldValue<std::uint16_t>(*steps, "step count", notes);
    } else if (name == "timer" && values == 2) {
        const std::optional<long long> horizontal = sParseWholeNumber(args[2]);
        const std::optional<long long> vertical = sParseWholeNumber(args[3]);
        if (!horizontal || !vertical) {
            error = "motor timer wants two numbers, H and V";
            return std::nullopt;
        }
        parsed.m_timers.emplace(iFieldValue<std::uint8_t>(*horizontal, "H timer", notes),
                                iFieldValue<std::uint8_t>(*vertical, "V timer", notes));
    } else if (values != 0) {
        error = "motor " + std::string(name) + " takes no more arguments";
        return std::nullopt;
    }
    return parsed;
}

// The timers and positions the device reported last.
class CMotorRecord final : public IMotorView {
  public:
    using CPair = std::pair<int, int>;
    void vFillMotorTimer(int horizontal, int vertical) override {
        std::lock_guard guard(m_lock);
        m_timers = CPair{horizontal, vertical};
    }
    void vFillMotorPos(int horizontal, int vertical) override {
        std::lock_guard guard(m_lock);
        m_positions = CPair{horizontal, vertical};
    }
    std::optional<CPair> sTimers() {
        std::lock_guard guard(m_lock);
        return m_timers;
    }
    std::optional<CPair> sPositions() {
        std::lock_guard guard(m_lock);
        return m_positions;
    }

  private:
    std::mutex m_lock;
    std::optional<CPair> m_timers;
    std::optional<CPair> m_positions;
};

CmdBytes bufRequestOf(const CMotorArgs& args) {
    const std::string_view name = args.m_pAction->m_strName;
    if (name == "position") {
        return bufBuildGetMotorPos();
    }
    if (name == "timer") {
        return bufBuildGetMotorTimer();
    }
    if (name == "zero") {
        return bufBuildZeroMotorPos();
    }
    if (name == "stop-h" || name == "stop-v") {
        return bufBuildMotorStop(name == "stop-h" ? EMotorAxis::kHorizontal
                                                  : EMotorAxis::kVertical);
    }
    const EMotorDir dir = name == "left"    ? EMotorDir::kLeft
                          : name == "right" ? EMotorDir::kRight
                          : name == "up"    ? EMotorDir::kUp
                                            : EMotorDir::kDown;
    return bufBuildMotorMove(dir, args.m_usSteps);
}

}  // namespace

int iMotorVerb(const CCliOptions& options, CLanStation& lan, CCliView& view, std::ostream& out,
               std::ostream& err) {
    std::string error;
    const std::optional<CMotorArgs> args = sParseArgs(options.m_args, error, err);
    if (!args) {
        err << "kestrel-cli: " << error << '\n';
        return kCliUsage;
    }
    CStation& station = lan.station();
    if (const int code = iOpenDevice(options, station, view, out, err); code != kCliOk) {
        return code;
    }
    CMotorRecord record;
    const CAttachedView attached(station.motor(), record);

    const std::string& ip = options.m_args[0];
    // The device does not answer a timer write: the read that follows shows what it took.
    if (args->m_timers && !station.fgSendToDev(ip, bufBuildSetMotorTimer(args->m_timers->first,
                                                                         args->m_timers->second))) {
        return iSendFailed(ip, err);
    }
    if (!station.fgSendToDev(ip, bufRequestOf(*args))) {
        return iSendFailed(ip, err);
    }
    const CMotorAction& action = *args->m_pAction;
    const std::uint8_t reply = view.byWaitReply(
        {action.m_byReply}, Clock::now() + std::chrono::milliseconds(options.m_iTimeoutMs));
    const bool succeeded = reply != 0 && view.fgHasResult(action.m_iOk);
    view.vFlushLines(out);
    if (reply == 0) {
        return kCliNoAnswer;
    }
    if (!succeeded) {
        err << "kestrel-cli: " << ip << " reported failure\n";
        return kCliDeviceFailed;
    }
    const std::optional<CMotorRecord::CPair> values =
        action.m_iOk == kTimerOk
            ? record.sTimers()
            : (action.m_iOk == kPositionOk ? record.sPositions() : std::nullopt);
    if (values) {
        out << action.m_strName << ": H " << values->first << " V " << values->second << '\n';
    }
    const auto written = args->m_timers;
    if (written && (!values || *values != std::pair<int, int>{written->first, written->second})) {
        err << "kestrel-cli: " << ip << " kept other timers than those written\n";
        return kCliDeviceFailed;
    }
    return kCliOk;
}
