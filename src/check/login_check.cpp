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
// Requests spread over the time allowed: on a line losing a fifth of its datagrams each
// way, one exchange in three fails, four in a row about one in a hundred.
constexpr int kRequests = 4;

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
    const auto period = std::chrono::milliseconds(std::max(1, limitMs / kRequests));
    if (iSendTo(socket, request, CEndpoint{addrNet, kPortCommand}) !=
        static_cast<int>(request.size())) {
        result.m_eOutcome = ELoginCheck::kSendFailed;
        return result;
    }
    int sent = 1;
    Clock::time_point next = start + period;
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
        // A datagram may be lost either way: the request again, each period.
        if (sent < kRequests && now >= next) {
            ++sent;
            next += period;
            (void)iSendTo(socket, request, CEndpoint{addrNet, kPortCommand});
        }
        const auto untilNext = std::chrono::duration_cast<std::chrono::milliseconds>(
            (sent < kRequests ? std::min(end, next) : end) - now);
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
