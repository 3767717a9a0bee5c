#pragma once

// Image settings and camera actions of the live view page: flip and day/night (their
// queries and answers), the acknowledgements of camera actions, and the calibration
// that action 11 starts.

#include <cstdint>
#include <mutex>

#include "protocol/reply_router.h"

class CStation;

// What the live view page shows of the camera. Called on the receive thread; an
// implementation returns at once.
class ICameraView {
  public:
    virtual ~ICameraView() = default;
    // Drop-down lists: flip 0..3, day/night 0..2.
    virtual void vSetFlip(int entry) = 0;
    virtual void vSetDayNight(int entry) = 0;
    // A calibration runs: check on it after 1200 ms.
    virtual void vStartCalibrationTimer() = 0;
};

class CCameraFeature final : public IReplyHandler {
  public:
    static constexpr std::uint32_t kActionCalibrate = 11;

    explicit CCameraFeature(CStation& station);
    void vSetView(ICameraView* view) { m_view.vSet(view); }

    int iOnReply(const CReplyReader& reply, std::uint32_t senderNet) override;

    bool fgCalibrating() const;
    std::uint32_t uiCalibrationAddr() const;
    // The calibration's time is up: its line goes to the result pane.
    void vEndCalibration();

  private:
    CStation& m_station;
    CViewSlot<ICameraView> m_view;
    mutable std::mutex m_lock;
    bool m_fgCalibrating = false;
    std::uint32_t m_uiCalibrationAddr = 0;
};
