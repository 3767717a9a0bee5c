#pragma once

#include <cstdint>
#include <functional>
#include <span>

// Where decoded sound is played: 8,000 samples per second, one channel, 16-bit signed
// samples. The window implements it over the platform's audio output; tests capture
// what would be played. The player (CWaveOut) owns the buffers and lends them.
class IPcmSink {
  public:
    using FnPlayed = std::function<void(int bufferId)>;

    virtual ~IPcmSink() = default;

    // Opens the output. false: there is no output device or it refuses the format, a
    // normal state in which nothing is played.
    virtual bool fgOpen(FnPlayed fnPlayed) = 0;

    // Queues one buffer for playing. `samples` stays valid and unchanged until the sink
    // hands `bufferId` back through fnPlayed (from any thread, even from inside this
    // call) or until vClose returns. false: refused; the buffer is the caller's again
    // and is not handed back.
    virtual bool fgQueue(int bufferId, std::span<const std::int16_t> samples) = 0;

    // Stops at once, dropping what is queued. After it returns the sink reads no buffer
    // and does not call fnPlayed again.
    virtual void vClose() = 0;
};
