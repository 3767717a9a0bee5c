#include "ui/pages/page_table.h"

#include "protocol/station.h"
#include "ui/pages/dlg_dev_info.h"
#include "ui/pages/dlg_dev_version.h"
#include "ui/pages/dlg_log.h"
#include "ui/pages/dlg_motor.h"
#include "ui/pages/dlg_sensor.h"
#include "ui/pages/dlg_set_uid.h"
#include "ui/pages/dlg_video.h"
#include "ui/pages/dlg_video_param.h"

namespace {

// A page made from the parent and the station alone.
template <class TPage>
CScaledPage* pMake(const CPageContext& context) {
    return new TPage(context.m_pParent, context.m_pStation);
}

CFeatureAttachment sNothing(CScaledPage& /*page*/, CStation& /*station*/) {
    return {};
}

const std::array<CPageDef, kPageTableSize> kPages{{
    {"A/V Test", &pMake<CDlgVideo>, &sNothing},
    {"Modify UID", &pMake<CDlgSetUid>, &sNothing},
    {"Device Info", &pMake<CDlgDevInfo>, &sNothing},
    {"Device Version", &pMake<CDlgDevVersion>,
     [](CScaledPage& page, CStation& station) {
         return sAttachView(station.config(), static_cast<CDlgDevVersion&>(page));
     }},
    {"Video Parameters", &pMake<CDlgVideoParam>,
     [](CScaledPage& page, CStation& station) {
         return sAttachView(station.videoParam(), static_cast<CDlgVideoParam&>(page));
     }},
    {"Sensor management", &pMake<CDlgSensor>,
     [](CScaledPage& page, CStation& station) {
         return sAttachView(station.sensor(), static_cast<CDlgSensor&>(page));
     }},
    {"Motor Control", &pMake<CDlgMotor>,
     [](CScaledPage& page, CStation& station) {
         return sAttachView(station.motor(), static_cast<CDlgMotor&>(page));
     }},
    {"Log",
     [](const CPageContext& context) -> CScaledPage* {
         return new CDlgLog(context.m_pParent, context.m_pStation, context.m_strWritableDir);
     },
     [](CScaledPage& page, CStation& station) {
         return sAttachView(station.log(), static_cast<CDlgLog&>(page));
     }},
}};

}  // namespace

const std::array<CPageDef, kPageTableSize>& pageTable() {
    return kPages;
}
