#pragma once

// The faults a production line's check looks for, as "--behave" kinds: a device with
// an old firmware version, without an SD card or Wi-Fi networks, whose camera shows
// nothing or black, whose microphone is mute, whose horn refuses the test sound.

#include <string>

#include "devsim/sim_device.h"

namespace devsim {

// Applies kind (with value) when it is one of these faults: 0 applied, -1 with the reason
// in error when the value is wrong, 1 when kind is none of them (nothing changed).
int iApplyBenchFault(const std::string& kind, const std::string& value, CSimDeviceState& state,
                     CSimBehaviour& behaviour, std::string& error);

// The usage lines of these kinds.
std::string strBenchFaultUsage();

}  // namespace devsim
