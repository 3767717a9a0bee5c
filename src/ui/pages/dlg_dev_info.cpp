#include "ui/pages/dlg_dev_info.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <string>

#include "protocol/dev_info.h"
#include "protocol/station.h"
#include "ui/dialog_text.h"
#include "ui/pages/page_support.h"

namespace {
constexpr int kTypeMaxChars = 31;
constexpr int kAddrRoomChars = 29;

constexpr int kLabelW = 60;
constexpr int kEditW = 140;
constexpr int kRowH = 19;
constexpr int kFirstRowY = 20;

// The key of the device type name; nullptr when the type has none.
const char* pszDevTypeKey(std::uint32_t devFlags) {
    if (!fgDevIsCamera(devFlags)) {
        return "Gateway";
    }
    switch (iDevTypeIndex(devFlags)) {
        case 0:
            return "New head shaking camera";
        case 1:
            return "Old head shaking camera";
        case 2:
            return "Old compact";
        case 3:
            return "GOKE head shaking camera";
        default:
            return nullptr;
    }
}

// Lays out label and edit rows down one column of the page.
class CColumn {
  public:
    CColumn(QWidget* page, int left) : m_pPage(page), m_iLeft(left) {}

    QLineEdit* pRow(const QString& caption, bool display) {
        auto* label = new QLabel(caption, m_pPage);
        label->setGeometry(sPageTemplateRect(m_iLeft + 8, m_iY + 2, kLabelW, 10));
        auto* edit = new QLineEdit(m_pPage);
        edit->setGeometry(sPageTemplateRect(m_iLeft + 8 + kLabelW + 4, m_iY, kEditW, 14));
        edit->setEnabled(!display);
        m_iY += kRowH;
        return edit;
    }
    // The block's DHCP box and "Apply" button, on one row.
    void vFinish(CNetControls& block) {
        block.m_pDhcp = new QCheckBox(strTrKey("DHCP"), m_pPage);
        block.m_pDhcp->setGeometry(sPageTemplateRect(m_iLeft + 8, m_iY + 2, 60, 12));
        block.m_pApply = new QPushButton(strTrKey("Apply"), m_pPage);
        block.m_pApply->setGeometry(
            sPageTemplateRect(m_iLeft + 8 + kLabelW + 4 + kEditW - 50, m_iY, 50, 16));
        m_iY += kRowH + 4;
    }
    int iY() const { return m_iY; }

  private:
    QWidget* m_pPage;
    int m_iLeft;
    int m_iY = kFirstRowY;
};

QCheckBox* pDisplayBox(QWidget* page, const QString& caption, int x, int y) {
    auto* box = new QCheckBox(caption, page);
    box->setGeometry(sPageTemplateRect(x, y, 150, 12));
    box->setEnabled(false);
    return box;
}

std::string strField(const QLineEdit* edit) {
    return edit->text().left(kAddrRoomChars).toStdString();
}
}  // namespace

QString strDevTypeText(std::uint32_t devFlags) {
    const char* key = pszDevTypeKey(devFlags);
    return key == nullptr ? QString() : strTrKey(key).left(kTypeMaxChars);
}

CDlgDevInfo::CDlgDevInfo(QWidget* parent, CStation* station)
    : CScaledPage(parent, 1), m_pStation(station) {
    constexpr int kWiredLeft = 8;
    constexpr int kWifiLeft = 250;
    constexpr int kGroupW = 232;

    auto* wiredGroup = new QGroupBox(strTrKey("Device Info"), this);
    CColumn wired(this, kWiredLeft);
    m_wired.m_pIp = wired.pRow(strTrKey("Ip Address:"), false);
    m_wired.m_pMask = wired.pRow(strTrKey("Mask:"), false);
    m_wired.m_pGateway = wired.pRow(strTrKey("Gateway:"), false);
    m_wired.m_pDns = wired.pRow(strTrKey("Dns:"), false);
    m_wired.m_pMac = wired.pRow(strTrKey("Mac Address:"), true);
    m_pUid = wired.pRow(strTrKey("UID:"), true);
    m_pVersion = wired.pRow(strTrKey("Version:"), true);
    m_pType = wired.pRow(strTrKey("Device Type:"), true);
    wired.vFinish(m_wired);
    wiredGroup->setGeometry(sPageTemplateRect(kWiredLeft, 5, kGroupW, wired.iY() - 5));

    auto* wifiGroup = new QGroupBox(strTrKey("Wifi Info"), this);
    CColumn wifi(this, kWifiLeft);
    m_wifi.m_pIp = wifi.pRow(strTrKey("Ip Address:"), false);
    m_wifi.m_pMask = wifi.pRow(strTrKey("Mask:"), false);
    m_wifi.m_pGateway = wifi.pRow(strTrKey("Gateway:"), false);
    m_wifi.m_pDns = wifi.pRow(strTrKey("Dns:"), true);
    m_wifi.m_pMac = wifi.pRow(strTrKey("Mac Address:"), true);
    wifi.vFinish(m_wifi);
    wifiGroup->setGeometry(sPageTemplateRect(kWifiLeft, 5, kGroupW, wifi.iY() - 5));
    // The frames lie behind the rows they hold.
    wiredGroup->lower();
    wifiGroup->lower();

    int y = wifi.iY() + 6;
    m_pInfrared = pDisplayBox(this, strTrKey("Infrared Detector"), kWifiLeft + 8, y);
    m_pTriggered =
        pDisplayBox(this, strTrKey("Infrared Detector Triggered"), kWifiLeft + 8, y += 15);
    m_pGateway = pDisplayBox(this, strTrKey("Gateway"), kWifiLeft + 8, y += 15);
    m_pFullView = pDisplayBox(this, strTrKey("FullView"), kWifiLeft + 8, y += 15);

    connect(m_wired.m_pApply, &QPushButton::clicked, this, [this] { fgApply(ENetBlock::kWired); });
    connect(m_wifi.m_pApply, &QPushButton::clicked, this, [this] { fgApply(ENetBlock::kWifi); });
}

void CDlgDevInfo::vTabRefresh(ETabRefresh cause) {
    if (cause == ETabRefresh::kDelayed || m_pStation == nullptr) {
        return;
    }
    CDevInfo devInfo;
    if (m_pStation->fgSelectDevIsLogin() && m_pStation->registry().fgGetCurrDevInfo(devInfo)) {
        vFill(devInfo);
    }
}

void CDlgDevInfo::vOnDeviceChosen(EDevChoice choice, const CDevInfo& devInfo) {
    if (choice == EDevChoice::kRowClick) {
        vFill(devInfo);
    }
}

void CDlgDevInfo::vFill(const CDevInfo& devInfo) {
    const auto text = [](QLineEdit* edit, const std::string& value) {
        edit->setText(QString::fromStdString(value));
    };
    text(m_wired.m_pIp, devInfo.m_strEthIp);
    text(m_wired.m_pMask, devInfo.m_strEthMask);
    text(m_wired.m_pGateway, devInfo.m_strEthGateway);
    text(m_wired.m_pDns, devInfo.m_strEthDns);
    text(m_wired.m_pMac, devInfo.m_strEthMac);
    m_wired.m_pDhcp->setChecked(devInfo.m_uiEthDhcp != 0);
    text(m_wifi.m_pIp, devInfo.m_strWifiIp);
    text(m_wifi.m_pMask, devInfo.m_strWifiMask);
    text(m_wifi.m_pGateway, devInfo.m_strWifiGateway);
    text(m_wifi.m_pDns, devInfo.m_strWifiDns);
    text(m_wifi.m_pMac, devInfo.m_strWifiMac);
    m_wifi.m_pDhcp->setChecked(devInfo.m_iWifiDhcp != 0);
    text(m_pUid, devInfo.m_strUid);
    text(m_pVersion, devInfo.m_strVersion);
    m_pType->setText(strDevTypeText(devInfo.m_uiDevFlags));
    m_pFullView->setChecked(fgDevFullView(devInfo.m_uiDevFlags));
}

void CDlgDevInfo::vSetDetectorFlags(bool infrared, bool triggered, bool gateway) {
    m_pInfrared->setChecked(infrared);
    m_pTriggered->setChecked(triggered);
    m_pGateway->setChecked(gateway);
}

bool CDlgDevInfo::fgApply(ENetBlock block) {
    const std::optional<std::string> ip = sLoggedInSelection(this, m_pStation);
    if (!ip) {
        return false;
    }
    const CNetControls& controls = block == ENetBlock::kWired ? m_wired : m_wifi;
    if (block == ENetBlock::kWired) {
        controls.m_pIp->selectAll();
    }
    const std::string addr = strField(controls.m_pIp);
    const std::string mask = strField(controls.m_pMask);
    const std::string gateway = strField(controls.m_pGateway);
    const std::string dns = strField(controls.m_pDns);
    return m_pStation->fgSendToDev(
        *ip, bufBuildSetNetwork(block, {addr, mask, gateway, dns, controls.m_pDhcp->isChecked()}));
}
