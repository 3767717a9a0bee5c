#pragma once

// What a simulated device's horn receiver does on request (for tests) and what it
// received, kept with the device's behaviour and state.

#include <cstddef>
#include <cstdint>
#include <string>

namespace devsim {

enum class EHornFault : std::uint8_t {
    kNone,
    kRefuse,     // the receiver never opens: every connection is refused
    kDropAfter,  // a connection is closed once m_iDropAfterBytes have arrived
};

struct CSimHornBehaviour {
    EHornFault m_eFault = EHornFault::kNone;
    std::size_t m_iDropAfterBytes = 0;
};

// What the horn receiver saw, per device.
struct CSimHornLog {
    std::uint32_t m_uiConnections = 0;
    std::uint32_t m_uiDropped = 0;  // connections the device closed (kDropAfter)
    std::uint32_t m_uiEnded = 0;    // connections the station closed (or that failed)
    std::uint32_t m_uiStops = 0;    // stop requests (command 48)
    // The last connection that ended: its bytes and their SHA-256 (lower-case hex).
    std::uint64_t m_ulLastBytes = 0;
    std::string m_strLastSha256;
};

}  // namespace devsim
