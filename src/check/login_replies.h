#pragma once

// A login reply as the line check reads it: accepted or refused, and the number of
// Wi-Fi networks it lists.

#include <cstdint>
#include <optional>
#include <span>

// A login reply, as the check needs it.
struct CLoginAnswer {
    bool m_fgAccepted = false;
    int m_iWifiNetworks = 0;  // entries the reply claims AND holds
    bool operator==(const CLoginAnswer&) const = default;
};

// Reads a datagram: nullopt unless it is a login reply (accepted or refused). Reads
// only the bytes given.
std::optional<CLoginAnswer> sParseLoginAnswer(std::span<const std::uint8_t> datagram);
