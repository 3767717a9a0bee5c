#pragma once

// What a simulated camera's live stream service does on request (for tests) and what
// it was asked, kept with the device's behaviour and state.

#include <cstdint>
#include <vector>

namespace devsim {

// Switches of the stream service. A count "after N" counts the media packets sent on
// one connection (a new connection starts again from 0); -1 means never.
struct CSimStreamBehaviour {
    int m_iLoginResult = 0;       // non-zero: every login reply carries it (-5, -2, ...)
    int m_iServeStream = -1;      // 0 or 1: sends this video stream whatever is asked
    int m_iStallAfter = -1;       // then sends no media (heartbeats are still answered)
    int m_iCloseAfter = -1;       // then closes the connection
    int m_iBadMagicAfter = -1;    // then one packet with a wrong magic
    int m_iOversizeAfter = -1;    // then one packet too big for the client's buffer
    bool m_fgSplitHeads = false;  // heads leave in three pieces, a few ms apart
    int m_iMergePackets = 1;      // packets per send (1 to 16)
    int m_iPaceFactor = 1;        // media goes out this many times as fast (benchmarks)
    bool m_fgNoVideo = false;     // the video streams send no media
    bool m_fgNoAudio = false;     // the listen stream sends no media
    bool m_fgBlackVideo = false;  // the video streams show black
};

// One request as the service received it: its type and the stream id byte.
struct CSimStreamRequest {
    std::uint32_t m_uiType = 0;
    std::uint8_t m_ucStreamId = 0;
    bool operator==(const CSimStreamRequest&) const = default;
};

// What the stream service saw and did, per device.
struct CSimStreamLog {
    std::uint32_t m_uiConnections = 0;
    std::uint32_t m_uiHeartbeats = 0;
    std::uint64_t m_ulMediaPackets = 0;
    std::uint64_t m_ulDroppedPackets = 0;  // left out because the client did not read
    // Logins, get-stream and switch requests in arrival order (the first 256).
    std::vector<CSimStreamRequest> m_requests;
};

}  // namespace devsim
