#pragma once

#include <QString>
#include <cstdint>

#include "protocol/requests.h"
#include "ui/scaled_page.h"

class CStation;
class QCheckBox;
class QLineEdit;
class QPushButton;

// The device type name of a device flags word, translated and at most 31 characters:
// "Gateway" while bit 31 is clear, else the camera type of the signed low byte (0 to
// 3), empty for any other.
QString strDevTypeText(std::uint32_t devFlags);

// One address block of the page (wired or Wi-Fi).
struct CNetControls {
    QLineEdit* m_pIp = nullptr;
    QLineEdit* m_pMask = nullptr;
    QLineEdit* m_pGateway = nullptr;
    QLineEdit* m_pDns = nullptr;
    QLineEdit* m_pMac = nullptr;
    QCheckBox* m_pDhcp = nullptr;
    QPushButton* m_pApply = nullptr;
};

// The "Device Info" page (tab 2): identity and network settings of the selected device.
// A click on a device row, and a switch to the tab once the login check has passed,
// overwrite every field from the device's record. Each "Apply" sends its block's four
// address texts (the first 16 bytes of each; the Wi-Fi DNS although it only shows) and
// its DHCP box to the device, which answers into the result pane. The detector boxes
// show the flags of the last login reply; they, the MAC, UID, version and type fields
// are never editable.
class CDlgDevInfo : public CScaledPage {
    Q_OBJECT

  public:
    // station may be null (a window without devices): "Apply" then refuses like an
    // empty selection. The station must outlive the page.
    explicit CDlgDevInfo(QWidget* parent, CStation* station = nullptr);

    void vTabRefresh(ETabRefresh cause) override;
    void vOnDeviceChosen(EDevChoice choice, const CDevInfo& devInfo) override;

    // Overwrites every field from a copy of a device record.
    void vFill(const CDevInfo& devInfo);
    // Infrared detector, infrared detector triggered, gateway (UI thread).
    void vSetDetectorFlags(bool infrared, bool triggered, bool gateway);
    // "Apply" of one block; true when the request left.
    bool fgApply(ENetBlock block);

    const CNetControls& wired() const { return m_wired; }
    const CNetControls& wifi() const { return m_wifi; }
    QLineEdit* pUidEdit() const { return m_pUid; }
    QLineEdit* pVersionEdit() const { return m_pVersion; }
    QLineEdit* pTypeEdit() const { return m_pType; }
    QCheckBox* pInfraredBox() const { return m_pInfrared; }
    QCheckBox* pTriggeredBox() const { return m_pTriggered; }
    QCheckBox* pGatewayBox() const { return m_pGateway; }
    QCheckBox* pFullViewBox() const { return m_pFullView; }

  private:
    CStation* m_pStation;
    CNetControls m_wired;
    CNetControls m_wifi;
    QLineEdit* m_pUid = nullptr;
    QLineEdit* m_pVersion = nullptr;
    QLineEdit* m_pType = nullptr;
    QCheckBox* m_pInfrared = nullptr;
    QCheckBox* m_pTriggered = nullptr;
    QCheckBox* m_pGateway = nullptr;
    QCheckBox* m_pFullView = nullptr;
};
