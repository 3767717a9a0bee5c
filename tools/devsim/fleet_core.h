#pragma once

// What the fleet's services share: the devices, the networks they are attached to and
// the one lock that guards them. Each service (UDP commands now; firmware receiver,
// live stream and horn receiver later) works on the devices only under m_mutex.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "devsim/sim_device.h"

namespace devsim {

// One device's address and the prefix length of the network it is attached to.
struct CSimAddress {
    std::uint32_t m_uiAddrNet = 0;
    int m_iPrefix = 8;
    bool operator==(const CSimAddress&) const = default;
};

struct CSimFleetCore {
    std::mutex m_mutex;
    std::vector<CSimDevice> m_devices;    // guarded by m_mutex
    std::vector<CSimAddress> m_attached;  // per device, fixed: where it was started
    bool m_fgAllowAnyAddr = false;
    int m_iSearchBufferBytes = 0;
    // Told (with m_mutex held) when device `index` got the open-stream datagram.
    std::function<void(std::size_t index)> m_onStreamOpen;
    // Told of every upgrade request a device answered (device index, requester), with
    // m_mutex held; returns at once.
    std::function<void(std::size_t, const CEndpoint&)> m_fnOnUpgradeRequest;
    // Told (with m_mutex held) when device `index` got the open-audio-receiver request.
    std::function<void(std::size_t index)> m_fnOnHornOpen;
};

}  // namespace devsim
