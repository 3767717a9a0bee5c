#pragma once

// Video parameters of the main and the sub stream: the read-back into the video
// parameters page and the results of reading and writing them.

#include <array>
#include <cstdint>

#include "protocol/reply_router.h"

class CStation;

// The video parameters page. Called on the receive thread; returns at once.
class IVideoParamView {
  public:
    virtual ~IVideoParamView() = default;
    // The four words of a video parameters reply.
    virtual void vFillVideoParams(const std::array<std::uint32_t, 4>& words) = 0;
};

class CVideoParamFeature final : public IReplyHandler {
  public:
    explicit CVideoParamFeature(CStation& station);
    void vSetView(IVideoParamView* view) { m_view.vSet(view); }

    int iOnReply(const CReplyReader& reply, std::uint32_t senderNet) override;

  private:
    CStation& m_station;
    CViewSlot<IVideoParamView> m_view;
};
