#include "protocol/config_feature.h"

#include <algorithm>
#include <utility>

#include "protocol/cmd_header.h"
#include "protocol/requests.h"
#include "protocol/station.h"

namespace {

const char* pszConfigItemKey(int kind) {
    switch (kind) {
        case 0:
            return "Change the default safe password is successful";
        case 1:
            return "Change the default user password is successful";
        case 2:
            return "Change the default sound volume is successful";
        case 3:
            return "modify default push notify on success";
        case 4:
            return "modify default push notify off success";
        case 6:
            return "Modify the custom configuration success";
        default:
            return nullptr;
    }
}

}  // namespace

CConfigFeature::CConfigFeature(CStation& station) : m_station(station) {
    for (const std::uint8_t type :
         {kCmdSetDefaultFlags, kCmdSetConfigItem, kCmdControl, kReplyConfigText}) {
        station.router().vRoute(type, *this);
    }
    station.router().vRouteExt(kExtKeyFuncs, *this);
    station.router().vRouteExt(kExtKeyFuncsSaved, *this);
}

void CConfigFeature::vSetConfigItemKind(int kind) {
    std::lock_guard guard(m_lock);
    m_iConfigItemKind = kind;
}

void CConfigFeature::vSetMacRequestPending(bool pending) {
    std::lock_guard guard(m_lock);
    m_fgMacRequestPending = pending;
}

int CConfigFeature::iOnReply(const CReplyReader& reply, std::uint32_t senderNet) {
    const std::uint8_t type = reply.byType();
    const bool agreed = reply.byParam() == 0;
    const auto view = m_view.psGet();
    switch (type) {
        case kCmdSetDefaultFlags:
            if (agreed) {
                m_station.vReport(
                    sAddrResult(senderNet, "Change the default configuration is successful"));
            }
            return type;
        case kCmdSetConfigItem:
            if (agreed) {
                int kind = -1;
                {
                    std::lock_guard guard(m_lock);
                    kind = m_iConfigItemKind;
                }
                if (const char* key = pszConfigItemKey(kind)) {
                    m_station.vReport(sAddrResult(senderNet, key));
                }
            }
            return type;
        case kCmdControl: {
            m_station.vReport(sAddrResult(senderNet, "send key success"));
            bool macPending = false;
            {
                std::lock_guard guard(m_lock);
                macPending = std::exchange(m_fgMacRequestPending, false);
            }
            if (macPending) {
                m_station.vReport(sAddrResult(
                    senderNet, "update eth mac success,After the restart to take effect"));
            }
            return type;
        }
        case kReplyConfigText: {
            const auto bytes = reply.spanAt(kCmdOffPayload, reply.usPayloadLen());
            std::string text(bytes.begin(), bytes.end());
            std::replace(text.begin(), text.end(), '\0', ' ');
            if (view != nullptr) {
                view->vShowConfigText(text);
            }
            return type;
        }
        default:
            break;
    }
    // The extended sub-replies.
    if (reply.uiAt(kCmdOffWordB) == kExtKeyFuncs) {
        if (view != nullptr) {
            const std::size_t at = kCmdOffPayload;
            view->vShowKeyFunctions(
                {reply.uiAt(at), reply.uiAt(at + 4), reply.uiAt(at + 8), reply.uiAt(at + 12)});
        }
        return kNoResult;
    }
    m_station.vReport(sAddrResult(senderNet, "save key config info success"));
    m_station.vSendExtCmd({}, kExtGetKeyFuncs);
    if (view != nullptr) {
        view->vRefreshDefaultConfig();
    }
    return kNoResult;
}
