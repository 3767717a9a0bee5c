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
