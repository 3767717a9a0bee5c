#pragma once

// The default configuration: the configuration text, the default flags and items, the
// key functions, the control command and the MAC update it may carry.

#include <array>
#include <cstdint>
#include <mutex>
#include <string>

#include "protocol/reply_router.h"

class CStation;

// The default configuration page. Called on the receive thread; returns at once.
class IConfigView {
  public:
    virtual ~IConfigView() = default;
    virtual void vShowConfigText(const std::string& text) = 0;
    virtual void vShowKeyFunctions(const std::array<std::uint32_t, 4>& codes) = 0;
    virtual void vRefreshDefaultConfig() = 0;
};

class CConfigFeature final : public IReplyHandler {
  public:
    explicit CConfigFeature(CStation& station);
    void vSetView(IConfigView* view) { m_view.vSet(view); }

    int iOnReply(const CReplyReader& reply, std::uint32_t senderNet) override;

    // Which configuration item the page sent last (its line when the device agrees):
    // 0 safe password, 1 user password, 2 sound volume, 3/4 push notify on/off,
    // 6 a free item; -1 none.
    void vSetConfigItemKind(int kind);
    // The next control command answer also confirms the MAC update.
    void vSetMacRequestPending(bool pending);

  private:
    CStation& m_station;
    CViewSlot<IConfigView> m_view;
    std::mutex m_lock;
    int m_iConfigItemKind = -1;
    bool m_fgMacRequestPending = false;
};
