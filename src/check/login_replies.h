#pragma once

// The login replies of many devices at once, for the line check: a tap on the
// station's transport that keeps, per device, the last login answer and the number
// of Wi-Fi networks it listed, and lets a checking thread wait for it.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <span>

#include "net/lan_interfaces.h"

// A login reply, as the check needs it.
struct CLoginAnswer {
    bool m_fgAccepted = false;
    int m_iWifiNetworks = 0;  // entries the reply claims AND holds
    bool operator==(const CLoginAnswer&) const = default;
};

// Reads a datagram: nullopt unless it is a login reply (accepted or refused). Reads
// only the bytes given.
std::optional<CLoginAnswer> sParseLoginAnswer(std::span<const std::uint8_t> datagram);

// Thread rules: vOnDatagram on the transport's receive thread (returns at once); the
// others from any thread.
class CLoginReplies final : public ILanReceiver {
  public:
    // At most this many devices are remembered; replies from more are dropped.
    static constexpr std::size_t kDevicesMax = 4096;

    void vOnDatagram(std::span<const std::uint8_t> data, const CEndpoint& from) override;
    void vOnAnnouncement(std::span<const std::uint8_t>, const CEndpoint&) override {}

    // Forgets the device's answer (before a login request goes out).
    void vForget(std::uint32_t addrNet);
    // Waits for the device's answer until the deadline; nullopt when none came.
    std::optional<CLoginAnswer> sWait(std::uint32_t addrNet,
                                      std::chrono::steady_clock::time_point deadline);

  private:
    std::mutex m_lock;
    std::condition_variable m_answered;
    std::map<std::uint32_t, CLoginAnswer> m_answers;
};
