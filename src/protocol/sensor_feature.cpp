#include "protocol/sensor_feature.h"

#include <algorithm>

#include "app/text_conv.h"
#include "app/translate.h"
#include "protocol/cmd_header.h"
#include "protocol/station.h"

namespace {
constexpr std::size_t kOffLearnedIndex = 52;
constexpr std::size_t kSensorNameBytes = 32;
constexpr int kSensorNameLocalBytes = 31;
constexpr std::uint8_t kTestFailed = 1;
// The name dialog takes an address text of at most 19 characters.
constexpr std::size_t kNameDialogAddrChars = 19;
}  // namespace

CSensorFeature::CSensorFeature(CStation& station) : m_station(station) {
    for (const std::uint8_t type :
         {kCmdSensorTest, kCmdPowerCalibration, kReplyLearnOk, kReplyLearnFailed, kReplySensorList,
          kReplySensorListFailed, kReplyLearned, kReplyLearnedFailed}) {
        station.router().vRoute(type, *this);
    }
}

int CSensorFeature::iOnReply(const CReplyReader& reply, std::uint32_t senderNet) {
    const std::uint8_t type = reply.byType();
    const auto view = m_view.psGet();
    switch (type) {
        case kCmdSensorTest:
            if (view != nullptr) {
                view->vSensorTestEnable();
            }
            vSensorResult(reply, false);
            break;
        case kCmdPowerCalibration:
            vSensorResult(reply, true);
            break;
        case kReplyLearnOk:
            if (view != nullptr) {
                view->vSensorLearnDone(true, reply.uiAt(kOffLearnedIndex));
            }
            break;
        case kReplyLearnFailed:
            if (view != nullptr) {
                view->vSensorLearnDone(false, 0);
            }
            break;
        case kReplySensorList: {
            // The number of entries is header byte 4 (0 to 255); only entries the
            // datagram really holds are read.
            const std::size_t claimed = reply.byAt(kCmdOffWordA);
            const std::size_t received = reply.size() > kCmdOffPayload
                                             ? (reply.size() - kCmdOffPayload) / kSensorEntryBytes
                                             : 0;
            std::vector<std::array<std::uint8_t, kSensorEntryBytes>> entries;
            for (std::size_t i = 0; i < std::min(claimed, received); ++i) {
                entries.push_back(
                    reply.arrAt<kSensorEntryBytes>(kCmdOffPayload + i * kSensorEntryBytes));
            }
            if (view != nullptr) {
                view->vSensorList(entries);
            }
            break;
        }
        case kReplyLearned:
            if (view != nullptr) {
                view->vOpenSensorNameDialog(strIpText(senderNet).substr(0, kNameDialogAddrChars));
            }
            break;
        default:
            break;
    }
    return type;
}

void CSensorFeature::vSensorResult(const CReplyReader& reply, bool calibration) {
    if (reply.byParam() == kTestFailed) {
        m_station.view().vShowMessage(strTranslate("Test failed"));
        return;
    }
    std::array<std::uint8_t, 56> result = reply.arrAt<56>(kCmdOffPayload);
    const std::string name =
        strLocalName(std::span(result).first(kSensorNameBytes), kSensorNameLocalBytes);
    std::fill_n(result.begin(), kSensorNameBytes, std::uint8_t{0});
    std::copy_n(name.begin(), std::min<std::size_t>(name.size(), kSensorNameLocalBytes),
                result.begin());
    if (const auto view = m_view.psGet()) {
        view->vSensorResult(result, calibration);
    }
}
