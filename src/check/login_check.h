#pragma once

// The login check of a device on a UDP socket of its own: the login request (command
// 2) leaves from a fresh socket and the device answers to it, so the answer never
// reaches the station's transport: no device list, Wi-Fi list or result pane of a
// window changes because a check logged in. The request is sent again while no answer
// came: four requests spread over the time allowed.
//
// Blocking, any thread; checks of many devices may run in parallel (a socket each).

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>

#include "check/login_replies.h"

enum class ELoginCheck : std::uint8_t {
    kAnswered,    // m_answer says accepted or refused
    kNoAnswer,    // nothing in the time
    kSendFailed,  // no socket, or the request did not leave
    kStopped,     // stop was requested first
};

struct CLoginCheckResult {
    ELoginCheck m_eOutcome = ELoginCheck::kNoAnswer;
    std::optional<CLoginAnswer> m_answer;
};

// Logs in to addrNet (network order) at UDP port 24216 with password; waits at most
// limitMs (looking at stop every 50 ms).
CLoginCheckResult sCheckLogin(std::uint32_t addrNet, const std::string& password, int limitMs,
                              const std::stop_token& stop = {});
