#include "protocol/log_feature.h"

#include "app/dbg_print.h"
#include "protocol/cmd_header.h"
#include "protocol/station.h"

CLogFeature::CLogFeature(CStation& station) {
    for (const std::uint8_t type : {kReplyLogText, kCmdStartLog, kCmdStopLog}) {
        station.router().vRoute(type, *this);
    }
}

int CLogFeature::iOnReply(const CReplyReader& reply, std::uint32_t /*senderNet*/) {
    const std::uint8_t type = reply.byType();
    if (type != kReplyLogText) {
        return type;
    }
    const std::uint16_t length = reply.usPayloadLen();
    if (length >= kLogTextMaxBytes) {
        vDbgPrint("camkit:err:%s, %d=>len err1\r\n", "CclientDlg::vParseLanInfo", __LINE__);
        return type;
    }
    if (ILogView* view = m_view.psGet()) {
        const auto text = reply.spanAt(kCmdOffPayload, length);
        view->vShowLogText(std::string(text.begin(), text.end()));
    }
    return type;
}
