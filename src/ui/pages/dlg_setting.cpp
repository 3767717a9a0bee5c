#include "ui/pages/dlg_setting.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <string>

#include "protocol/requests.h"
#include "protocol/station.h"
#include "ui/dialog_text.h"
#include "ui/pages/page_support.h"

CDlgSetting::CDlgSetting(QWidget* parent, CStation* station)
    : QWidget(parent),
      m_pStation(station),
      m_pRestart(new QPushButton(strTrKey("Restart"), this)),
      m_pFactoryReset(new QPushButton(strTrKey("Factory Reset"), this)) {
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_pFactoryReset);
    layout->addWidget(m_pRestart);
    connect(m_pRestart, &QPushButton::clicked, this, &CDlgSetting::fgRestart);
    connect(m_pFactoryReset, &QPushButton::clicked, this, &CDlgSetting::fgFactoryReset);
}

bool CDlgSetting::fgRestart() {
    return fgSendToSelected(bufBuildRestart());
}

bool CDlgSetting::fgFactoryReset() {
    return fgSendToSelected(bufBuildFactoryReset(EResetOrigin::kPlain));
}

bool CDlgSetting::fgSendToSelected(const CmdBytes& request) {
    return fgSendToSelectedDev(this, m_pStation, request);
}
