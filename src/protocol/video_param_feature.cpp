#include "protocol/video_param_feature.h"

#include "protocol/cmd_header.h"
#include "protocol/station.h"

namespace {
constexpr std::uint16_t kVideoParamPayloadBytes = 16;
}  // namespace

CVideoParamFeature::CVideoParamFeature(CStation& station) : m_station(station) {
    for (const std::uint8_t type : {kReplyVideoParam, kReplyVideoParamFailed, kReplySetVideoParamOk,
                                    kReplySetVideoParamFailed}) {
        station.router().vRoute(type, *this);
    }
}

int CVideoParamFeature::iOnReply(const CReplyReader& reply, std::uint32_t /*senderNet*/) {
    const std::uint8_t type = reply.byType();
    // The four words must all have arrived: a cut reply fills nothing.
    if (type == kReplyVideoParam && reply.usPayloadLen() == kVideoParamPayloadBytes &&
        reply.size() >= kCmdOffPayload + kVideoParamPayloadBytes) {
        if (const auto view = m_view.psGet()) {
            const std::size_t at = kCmdOffPayload;
            view->vFillVideoParams(
                {reply.uiAt(at), reply.uiAt(at + 4), reply.uiAt(at + 8), reply.uiAt(at + 12)});
        }
    } else if (type == kReplySetVideoParamFailed) {
        m_station.view().vRequestRefresh();
    }
    return type;
}
