#include "check/login_check.h"

#include <algorithm>
#include <array>
#include <chrono>

#include "net/lan_interfaces.h"
#include "net/socket_layer.h"
#include "protocol/requests.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kStopPollMs = 50;
// A login reply is at most one datagram of the transport's size.
constexpr std::size_t kDatagramMaxBytes = 3072;

}  // namespace

CLoginCheckResult sCheckLogin(std::uint32_t addrNet, const std::string& password, int limitMs,
                              const std::stop_token& stop) {
    CLoginCheckResult result;
    const CSocket socket = CSocket::Udp();
    if (!socket.fgValid()) {
        result.m_eOutcome = ELoginCheck::kSendFailed;
        return result;
    }
    const CmdBytes request = bufBuildLogin(password, ELoginOrigin::kLoginCheck);
    const Clock::time_point start = Clock::now();
    const Clock::time_point end = start + std::chrono::milliseconds(limitMs);
    // A datagram may be lost: a second request after half the time.
    const Clock::time_point second = start + std::chrono::milliseconds(limitMs / 2);
    bool sentTwice = false;
    if (iSendTo(socket, request, CEndpoint{addrNet, kPortCommand}) !=
        static_cast<int>(request.size())) {
        result.m_eOutcome = ELoginCheck::kSendFailed;
        return result;
    }
    std::array<std::uint8_t, kDatagramMaxBytes> buffer{};
    while (true) {
        if (stop.stop_requested()) {
            result.m_eOutcome = ELoginCheck::kStopped;
            return result;
        }
        const Clock::time_point now = Clock::now();
        if (now >= end) {
            return result;
        }
        if (!sentTwice && now >= second) {
            sentTwice = true;
            (void)iSendTo(socket, request, CEndpoint{addrNet, kPortCommand});
        }
        const auto untilNext = std::chrono::duration_cast<std::chrono::milliseconds>(
            (sentTwice ? end : std::min(end, second)) - now);
        int events = 0;
        const int ready =
            iWaitOne(socket, true, false,
                     std::clamp(static_cast<int>(untilNext.count()), 1, kStopPollMs), events);
        if (ready <= 0) {
            continue;
        }
        CEndpoint from;
        const int got = iRecvFrom(socket, buffer, from);
        // Only the device's own whole answer counts; anything else on the socket is
        // read and dropped.
        if (got <= 0 || static_cast<std::size_t>(got) > buffer.size() || from.m_uiAddr != addrNet) {
            continue;
        }
        if (const std::optional<CLoginAnswer> answer =
                sParseLoginAnswer(std::span(buffer).first(static_cast<std::size_t>(got)))) {
            result.m_eOutcome = ELoginCheck::kAnswered;
            result.m_answer = answer;
            return result;
        }
    }
}
