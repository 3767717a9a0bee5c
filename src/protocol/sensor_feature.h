#pragma once

// Paired sensors: the sensor list, learning, tests and smart-socket calibrations, and
// the naming of a sensor just learned.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/reply_router.h"

class CStation;

// The sensor page. Called on the receive thread; returns at once.
class ISensorView {
  public:
    virtual ~ISensorView() = default;
    // A test answer arrived: the test control works again.
    virtual void vSensorTestEnable() = 0;
    // A test (calibration = false) or calibration result: 56 bytes whose first 32
    // hold the sensor name in the local code page.
    virtual void vSensorResult(const std::array<std::uint8_t, 56>& result, bool calibration) = 0;
    // Learning ended: success with the new sensor's index, or failure.
    virtual void vSensorLearnDone(bool success, std::uint32_t newIndex) = 0;
    // The sensor list: entries of 40 bytes each, as the device sent them.
    virtual void vSensorList(const std::vector<std::array<std::uint8_t, 40>>& entries) = 0;
    // Open the sensor name dialog for the device at addressText (a learned sensor).
    virtual void vOpenSensorNameDialog(const std::string& addressText) = 0;
};

class CSensorFeature final : public IReplyHandler {
  public:
    static constexpr std::size_t kSensorEntryBytes = 40;

    explicit CSensorFeature(CStation& station);
    void vSetView(ISensorView* view) { m_view.vSet(view); }

    int iOnReply(const CReplyReader& reply, std::uint32_t senderNet) override;

  private:
    void vSensorResult(const CReplyReader& reply, bool calibration);

    CStation& m_station;
    CViewSlot<ISensorView> m_view;
};
