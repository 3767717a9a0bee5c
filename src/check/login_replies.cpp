#include "check/login_replies.h"

#include <algorithm>

#include "protocol/cmd_header.h"
#include "protocol/reply_reader.h"

namespace {

constexpr std::size_t kWifiCountOffset = 16;
constexpr std::size_t kWifiListOffset = 20;
constexpr std::size_t kWifiEntryBytes = 36;

}  // namespace

std::optional<CLoginAnswer> sParseLoginAnswer(std::span<const std::uint8_t> datagram) {
    const CReplyReader reply(datagram);
    if (reply.size() < kCmdHeaderBytes ||
        (reply.byType() != kReplyLoginOk && reply.byType() != kReplyLoginRefused)) {
        return std::nullopt;
    }
    CLoginAnswer answer;
    answer.m_fgAccepted = reply.byType() == kReplyLoginOk;
    const std::size_t held =
        reply.size() > kWifiListOffset ? (reply.size() - kWifiListOffset) / kWifiEntryBytes : 0;
    answer.m_iWifiNetworks =
        static_cast<int>(std::min<std::size_t>(reply.usAt(kWifiCountOffset), held));
    return answer;
}

void CLoginReplies::vOnDatagram(std::span<const std::uint8_t> data, const CEndpoint& from) {
    const std::optional<CLoginAnswer> answer = sParseLoginAnswer(data);
    if (!answer) {
        return;
    }
    {
        std::lock_guard guard(m_lock);
        if (m_answers.size() >= kDevicesMax && !m_answers.contains(from.m_uiAddr)) {
            return;
        }
        m_answers[from.m_uiAddr] = *answer;
    }
    m_answered.notify_all();
}

void CLoginReplies::vForget(std::uint32_t addrNet) {
    std::lock_guard guard(m_lock);
    m_answers.erase(addrNet);
}

std::optional<CLoginAnswer> CLoginReplies::sWait(std::uint32_t addrNet,
                                                 std::chrono::steady_clock::time_point deadline) {
    std::unique_lock guard(m_lock);
    m_answered.wait_until(guard, deadline, [&] { return m_answers.contains(addrNet); });
    const auto found = m_answers.find(addrNet);
    if (found == m_answers.end()) {
        return std::nullopt;
    }
    return found->second;
}
