#pragma once

// What a simulated camera streams: real H.264 and real AMR-NB, encoded by the
// simulator itself once per process and then played in a loop, so a fleet of any
// size costs no encoding time after the first request.
//
// The video picture (YUV 4:2:0, BT.601 limited range) that a decoder can check:
//  - eight vertical colour bars over the full width, left to right white, yellow,
//    cyan, green, magenta, red, blue, black (75 % bars: Y = 180, 162, 131, 112, 84,
//    65, 35, 16, each with a fixed grain of at most +-6 so the stream has a camera's
//    bit rate), above a band of the bottom eighth of the picture;
//  - a white square (Y = 235) one eighth of the height high and wide, moving from
//    left to right once per loop: its left edge at x = frame * (width - side) /
//    (frames - 1), in the middle of the bar area's height;
//  - in the bottom band, the frame number in the loop as 16 bits, most significant
//    first, each bit one sixteenth of the width: Y = 235 for 1, Y = 16 for 0.
// Every access unit is Annex B; key frames carry the sequence and picture parameter
// sets, so a decoder can start at any key frame.
//
// The audio: a 1 kHz sine at 8 kHz sampling, a third of full scale, in 12.2 kbit/s
// frames of 32 bytes (the mode byte included).

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace devsim {

inline constexpr int kSimFps = 30;
inline constexpr int kSimLoopFrames = 2 * kSimFps;  // two seconds
inline constexpr int kSimKeyInterval = kSimFps;     // a key frame every second
inline constexpr std::size_t kAmrFrameBytes = 32;
inline constexpr int kAmrFramesPerSecond = 50;
inline constexpr int kAmrLoopFrames = kAmrFramesPerSecond;  // one second
inline constexpr int kToneHz = 1000;

struct CSimAccessUnit {
    std::vector<std::uint8_t> m_bytes;
    bool m_fgKey = false;
};
using CAmrFrame = std::array<std::uint8_t, kAmrFrameBytes>;

// What the camera sees: the test picture, or black (a covered lens).
enum class EPicture : std::uint8_t { kTestPicture, kBlack };

// The loop of kSimLoopFrames access units of the picture at width x height (both
// even, 16 to 4096 wide), frame 0 a key frame. Encoded on the first call for that
// size (1080p takes a second or more), which the callers of that size wait for; later
// calls (from any thread) return the same loop. Empty when the size is refused or the
// encoder is missing or fails (the reason goes to the diagnostic line).
const std::vector<CSimAccessUnit>& vecVideoLoop(int width, int height,
                                                EPicture picture = EPicture::kTestPicture);

// The tone as kAmrLoopFrames frames, encoded on the first call. Empty on failure.
const std::vector<CAmrFrame>& vecAudioLoop();

// Luma of the test picture at (x, y) for frame `frame`, without the grain.
std::uint8_t iTestPictureLuma(int width, int height, int frame, int x, int y);

}  // namespace devsim
