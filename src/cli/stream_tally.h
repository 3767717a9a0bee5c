#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <ostream>
#include <span>

#include "media/ba_network.h"

// Counts the packets of one stream channel and hands each media payload on; called on
// the client's threads, read by the command's thread.
class CStreamTally final : public IStreamOwner {
  public:
    using Clock = std::chrono::steady_clock;
    // Called on the receive thread with each media packet's payload (valid only during
    // the call); it must return at once.
    using FnPayload = std::function<void(std::span<const std::uint8_t> payload)>;

    explicit CStreamTally(FnPayload onPayload = {}) : m_onPayload(std::move(onPayload)) {}

    void vOnStreamPacket(int streamId, std::span<const std::uint8_t> packet) override;
    void vOnStreamStarted(int streamId) override;

    // Waits until the deadline, or until the device refused the login.
    void vWait(Clock::time_point deadline);

    // Prints the tally of a video or listen stream; the exit code.
    int iReport(std::ostream& out, const char* streamName);

    // Media packets so far, sequence gaps and reconnects.
    long iPackets();
    long iGaps();
    int iReconnects();
    // The login's refusal code, when the device refused it.
    std::optional<std::int32_t> sRefusedWith();

  private:
    FnPayload m_onPayload;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::optional<std::int32_t> m_refusedWith;
    long m_iFrames = 0;
    long m_iKeyFrames = 0;
    long m_iGaps = 0;
    int m_iConnects = 0;
    std::uint64_t m_ulPayloadBytes = 0;
    std::optional<std::uint32_t> m_lastSequence;
    Clock::time_point m_first{};
    Clock::time_point m_last{};
};
