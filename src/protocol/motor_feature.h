#pragma once

// The pan/tilt motors: timers and positions read back into the motor page, and the
// results of moves, stops and zeroing.

#include <cstdint>

#include "protocol/reply_router.h"

class CStation;

// The motor page's fields. Called on the receive thread; returns at once.
class IMotorView {
  public:
    virtual ~IMotorView() = default;
    virtual void vFillMotorTimer(int horizontal, int vertical) = 0;
    virtual void vFillMotorPos(int horizontal, int vertical) = 0;
};

class CMotorFeature final : public IReplyHandler {
  public:
    explicit CMotorFeature(CStation& station);
    void vSetView(IMotorView* view) { m_view.vSet(view); }

    // Each motor reply's parameter byte carries its status: the success value of its
    // type gives the success code, anything else the failure code.
    int iOnReply(const CReplyReader& reply, std::uint32_t senderNet) override;

  private:
    CViewSlot<IMotorView> m_view;
};
