#pragma once

// A short listen to a device's microphone: logs in to the listen channel, decodes the
// AMR frames that arrive through the audio controller into a capturing sink until
// enough sound was heard, and measures its level. Used by the line check.
//
// Blocking: returns within the time limit plus the bounded stops of the stream client
// and the audio thread. Any thread; calls may run in parallel.

#include <cstdint>
#include <stop_token>
#include <string>

struct CListenRequest {
    std::string m_strUser = "admin";
    std::string m_strPassword;
    int m_iTimeLimitMs = 5000;
    int m_iFramesWanted = 10;  // 20 ms each
};

enum class EListenOutcome : std::uint8_t {
    kSound,      // m_iFramesWanted frames were decoded
    kRefused,    // the device refused the stream login (m_iRefusedWith)
    kTooLittle,  // fewer frames than wanted arrived in time (m_iFramesHeard says how many)
    kStopped,    // stop was requested first
};

struct CListenResult {
    EListenOutcome m_eOutcome = EListenOutcome::kTooLittle;
    std::int32_t m_iRefusedWith = 0;
    int m_iFramesHeard = 0;  // 20 ms frames that reached the sink
    double m_dRms = 0;       // level of what was heard, 0 to 32,767
    long m_lElapsedMs = 0;
};

// Listens to the device at addrNet (network order); stop ends the wait early.
CListenResult sListenBriefly(std::uint32_t addrNet, const CListenRequest& request,
                             const std::stop_token& stop = {});
