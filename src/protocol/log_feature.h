#pragma once

// The device log: the text a device prints while printing is kept alive, and the
// results of starting and stopping it.

#include <cstdint>
#include <string>

#include "protocol/reply_router.h"

class CStation;

// The log page. Called on the receive thread; returns at once.
class ILogView {
  public:
    virtual ~ILogView() = default;
    // One text the device printed, as it came (UTF-8, no line break added).
    virtual void vShowLogText(const std::string& text) = 0;
};

class CLogFeature final : public IReplyHandler {
  public:
    // Log texts of this length or longer are not shown.
    static constexpr std::uint16_t kLogTextMaxBytes = 1024;

    explicit CLogFeature(CStation& station);
    void vSetView(ILogView* view) { m_view.vSet(view); }

    int iOnReply(const CReplyReader& reply, std::uint32_t senderNet) override;

  private:
    CViewSlot<ILogView> m_view;
};
