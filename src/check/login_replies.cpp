#include "check/login_replies.h"

#include "protocol/cmd_header.h"
#include "protocol/login_feature.h"
#include "protocol/reply_reader.h"

std::optional<CLoginAnswer> sParseLoginAnswer(std::span<const std::uint8_t> datagram) {
    const CReplyReader reply(datagram);
    if (reply.size() < kCmdHeaderBytes ||
        (reply.byType() != kReplyLoginOk && reply.byType() != kReplyLoginRefused)) {
        return std::nullopt;
    }
    CLoginAnswer answer;
    answer.m_fgAccepted = reply.byType() == kReplyLoginOk;
    answer.m_iWifiNetworks = static_cast<int>(uLoginWifiEntries(reply));
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
