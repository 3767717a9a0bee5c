#pragma once

// One channel of a device's live stream as every front end uses it: the owner the
// stream client hands its packets to. It counts what arrives (frames, key frames,
// bytes, sequence gaps, reconnects, the login's refusal, how long media stopped),
// feeds the recorder when one is attached and hands each media payload and every
// other packet on to its consumers (decoding, sound, a key-frame catcher).
//
//   CStreamSession session(kStreamSub);
//   session.vSetRecorder(recorder);
//   client.BaNetwork_StartStream(kStreamSub, session, credentials, addrNet);
//   session.fgWaitRefused(deadline, stop);
//   client.BaNetwork_StopStream(EStreamChannel::kVideo);
//   const CStreamStats stats = session.sStats();
//
// Threads: the IStreamOwner calls come from the client's threads; the consumers are
// called there too, outside the session's lock, and must only post and return.
// Everything else from any thread. Set the consumers and the recorder before the
// channel starts and keep them until it has stopped.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

#include "media/ba_network.h"

class CStreamRecorder;

// What a session saw, at one moment.
struct CStreamStats {
    long m_lFrames = 0;  // media packets: video and audio frames
    long m_lVideoFrames = 0;
    long m_lKeyFrames = 0;
    long m_lGaps = 0;  // sequence numbers skipped within one connection
    int m_iReconnects = 0;
    std::uint64_t m_ulPayloadBytes = 0;
    std::optional<std::int32_t> m_refusedWith;  // the first refusal of the login
    double m_dMediaSeconds = 0;                 // from the first media packet to the last
    // Time without media after the first media packet, counting only silences longer
    // than kStallGap (the wait for the first packet is the connect's).
    double m_dStalledSeconds = 0;
    // Seconds from the session's beginning to the first such silence; nullopt when
    // media never stopped.
    std::optional<double> m_dStoppedAfterSeconds;
};

class CStreamSession final : public IStreamOwner {
  public:
    using Clock = std::chrono::steady_clock;
    // A silence longer than this is a stall (the device sends 25 pictures or 50 sound
    // frames a second).
    static constexpr auto kStallGap = std::chrono::milliseconds(1000);

    // A media packet (a video or an audio frame): its head and the whole packet, head
    // included (valid only during the call).
    using FnMedia =
        std::function<void(const CMediaHead& head, std::span<const std::uint8_t> packet)>;
    // Any other packet (login and authentication replies), head included.
    using FnOther = std::function<void(std::span<const std::uint8_t> packet)>;
    // A connection was made (the first or a reconnect).
    using FnStarted = std::function<void(int streamId)>;

    // streamId is the channel's stream: the listen channel records its audio frames,
    // a video channel its H.264 video frames.
    explicit CStreamSession(int streamId);

    void vSetMediaConsumer(FnMedia fnMedia) { m_fnMedia = std::move(fnMedia); }
    void vSetOtherConsumer(FnOther fnOther) { m_fnOther = std::move(fnOther); }
    void vSetStartedConsumer(FnStarted fnStarted) { m_fnStarted = std::move(fnStarted); }
    // The manage thread's start and end (the live page's decoder follows them).
    void vSetManageConsumers(std::function<void()> onStarted, std::function<void()> onEnded) {
        m_fnManageStarted = std::move(onStarted);
        m_fnManageEnded = std::move(onEnded);
    }
    // recorder (or null) gets the video frames or the AMR payloads from now on. A
    // packet being handed over meanwhile may still reach the one replaced, which drops
    // what comes after its close.
    void vSetRecorder(std::shared_ptr<CStreamRecorder> recorder);

    // Counts restart from zero and the stall clock from now (before a start).
    void vBegin();

    // IStreamOwner.
    void vOnStreamPacket(int streamId, std::span<const std::uint8_t> packet) override;
    void vOnStreamStarted(int streamId) override;
    void vOnManageStarted() override;
    void vOnManageEnded() override;

    // Waits until the deadline, a refused login, or stop; whether the login was
    // refused.
    bool fgWaitRefused(Clock::time_point deadline, const std::stop_token& stop = {});
    // The counts so far; stalls counted up to now.
    CStreamStats sStats();
    // The same, stalls counted up to end (the end of the time asked).
    CStreamStats sStats(Clock::time_point end);

  private:
    const int m_iStreamId;
    FnMedia m_fnMedia;
    FnOther m_fnOther;
    FnStarted m_fnStarted;
    std::function<void()> m_fnManageStarted;
    std::function<void()> m_fnManageEnded;

    std::mutex m_recorderLock;  // held only to copy the pointer
    std::shared_ptr<CStreamRecorder> m_recorder;

    std::mutex m_lock;
    std::condition_variable m_changed;
    CStreamStats m_stats;
    int m_iConnects = 0;
    std::optional<std::uint32_t> m_lastSequence;
    Clock::time_point m_begin{};
    std::optional<Clock::time_point> m_firstMedia;
    std::optional<Clock::time_point> m_lastMedia;
    std::chrono::nanoseconds m_stalled{0};
    std::optional<Clock::time_point> m_firstStall;
};

// "media stopped after 3.0 s of 10" when media stopped for longer than a stall during
// the secondsAsked, else empty.
std::string strStallLine(const CStreamStats& stats, int secondsAsked);
// Whether media stopped for more than half of the secondsAsked.
bool fgMostlyStalled(const CStreamStats& stats, int secondsAsked);
