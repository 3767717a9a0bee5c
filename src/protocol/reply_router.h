#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <shared_mutex>

#include "protocol/reply_reader.h"

// The dispatcher writes no result line for a reply whose handler returns this.
inline constexpr int kNoResult = -1;

// A feature's side of the dispatcher: the replies routed to it. Runs on the transport's
// receive thread; must return at once and never read past the reply.
class IReplyHandler {
  public:
    virtual ~IReplyHandler() = default;
    // Acts on one reply from the device at senderNet and returns the result code whose
    // line the dispatcher writes next (usually the reply type), or kNoResult.
    virtual int iOnReply(const CReplyReader& reply, std::uint32_t senderNet) = 0;
};

// Which feature serves which reply type (byte 1), and which serves each sub-reply of
// the extended reply (word B). Filled while the station is built, before receiving
// starts; read-only afterwards.
class CReplyRouter {
  public:
    void vRoute(std::uint8_t type, IReplyHandler& handler) { m_handlers[type] = &handler; }
    void vRouteExt(std::uint32_t subReply, IReplyHandler& handler) {
        m_extHandlers[subReply] = &handler;
    }
    IReplyHandler* psHandler(std::uint8_t type) const { return m_handlers[type]; }
    IReplyHandler* psExtHandler(std::uint32_t subReply) const {
        const auto found = m_extHandlers.find(subReply);
        return found == m_extHandlers.end() ? nullptr : found->second;
    }

  private:
    std::array<IReplyHandler*, 256> m_handlers{};
    std::map<std::uint32_t, IReplyHandler*> m_extHandlers;
};

// Every reply type the station acts on, and every extended sub-reply. Each has a
// handler once the station is built.
inline constexpr std::uint8_t kStationReplyTypes[] = {kReplyUpgradeFileCheck,
                                                      kReplyUpgradeReceived,
                                                      kCmdSetDefaultFlags,
                                                      kCmdSetConfigItem,
                                                      kCmdExtended,
                                                      kCmdGetMotorTimer,
                                                      kCmdSetMotorTimer,
                                                      kCmdGetMotorPos,
                                                      kCmdZeroMotorPos,
                                                      kCmdMotorRight,
                                                      kCmdMotorLeft,
                                                      kCmdMotorStopHoriz,
                                                      kCmdMotorVertical,
                                                      kReplyMotorDown,
                                                      kCmdMotorStopVert,
                                                      kCmdControl,
                                                      kCmdStartLog,
                                                      kCmdStopLog,
                                                      kCmdSensorTest,
                                                      kCmdPowerCalibration,
                                                      kCmdGetFlip,
                                                      kCmdGetDayNight,
                                                      kReplyDiscovery,
                                                      kReplyFormatSdOk,
                                                      kReplyLearnOk,
                                                      kReplyLearnFailed,
                                                      kReplyWiredNetOk,
                                                      kReplyWiredNetFailed,
                                                      kReplyRestart,
                                                      kReplyFactoryReset,
                                                      kReplySetUidOk,
                                                      kReplySetUidFailed,
                                                      kReplyMakeUpgradeFile,
                                                      kReplyWifiJoinOk,
                                                      kReplyWifiJoinFailed,
                                                      kReplyVideoParam,
                                                      kReplyVideoParamFailed,
                                                      kReplySetVideoParamOk,
                                                      kReplySetVideoParamFailed,
                                                      kReplyMakeUpgradeFile2,
                                                      kReplyWifiNetOk,
                                                      kReplyWifiNetFailed,
                                                      kReplyMakeUpgradeFile3,
                                                      kReplyConfigText,
                                                      kReplyVersionFailed,
                                                      kReplySensorList,
                                                      kReplySensorListFailed,
                                                      kReplyWifiStatus,
                                                      kReplyLearned,
                                                      kReplyLearnedFailed,
                                                      kReplyLoginOk,
                                                      kReplyLoginRefused,
                                                      kReplyPasswordOk,
                                                      kReplyPasswordFailed,
                                                      kReplyLogText,
                                                      kReplyAbility};
inline constexpr std::uint32_t kStationExtReplies[] = {kExtUnsupported, kExtKeyFuncs,
                                                       kExtKeyFuncsSaved, kExtCameraActionAck};

// The view a feature reports to: set on the operator's thread, called on the receive
// thread. An unset view drops the call (a diagnostic line says so). Setting waits for
// a call in progress, so a view may go away as soon as vSet(nullptr) has returned.
// View calls return at once (they queue), so the wait is short.
template <typename View>
class CViewSlot {
  public:
    // The view for the calls of one reply; the slot keeps it until the reference goes.
    class CRef {
      public:
        explicit operator bool() const { return m_view != nullptr; }
        bool operator==(std::nullptr_t) const { return m_view == nullptr; }
        View* operator->() const { return m_view; }

      private:
        friend class CViewSlot;
        CRef(std::shared_mutex& lock, View* const& view) : m_guard(lock), m_view(view) {}
        std::shared_lock<std::shared_mutex> m_guard;  // taken before the view is read
        View* m_view;
    };

    void vSet(View* view) {
        std::unique_lock guard(m_lock);
        m_view = view;
    }
    CRef psGet() const { return CRef(m_lock, m_view); }

  private:
    mutable std::shared_mutex m_lock;
    View* m_view = nullptr;
};
