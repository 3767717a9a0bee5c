#include "ui/dlg_connect_wifi.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/log.h"
#include "protocol/station.h"
#include "ui/ac_edit.h"
#include "ui/dialog_text.h"

CDlgConnectWifi::CDlgConnectWifi(CStation* station, const QString& ssid, int encryption,
                                 const std::filesystem::path& storeFolder, QWidget* owner)
    : QDialog(owner),
      m_pStation(station),
      m_strSsid(ssid),
      m_iEncryption(encryption),
      m_store(storeFolder),
      m_pSsid(new QLabel(ssid, this)),
      m_pEdit(new QLineEdit(this)),
      m_pAutoComplete(new CACEdit(this)) {
    setWindowTitle(strTrKey("Connect Wifi"));
    m_pEdit->setMaxLength(kMaxPasswordChars);
    // The label takes exactly the width of the network name.
    m_pSsid->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* ok = new QPushButton(strTrKey("OK"), this);
    auto* cancel = new QPushButton(strTrKey("Cancel"), this);
    // Enter belongs to the dialog (keyPressEvent), never to a focused button.
    ok->setAutoDefault(false);
    cancel->setAutoDefault(false);

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("SSID:"), this), 0, 0);
    layout->addWidget(m_pSsid, 0, 1, Qt::AlignLeft);
    layout->addWidget(new QLabel(strTrKey("Password Of Wifi:"), this), 1, 0);
    layout->addWidget(m_pEdit, 1, 1, 1, 2);
    layout->addWidget(ok, 2, 1, Qt::AlignRight);
    layout->addWidget(cancel, 2, 2);
    connect(ok, &QPushButton::clicked, this, &CDlgConnectWifi::vOnOK);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    m_pAutoComplete->iInit(m_pEdit);
    for (const std::string& password : m_store.vecGetWifiPwd(ssid.toStdString())) {
        m_pAutoComplete->vAddItem(QString::fromStdString(password));
    }
    m_pEdit->setFocus();
}

void CDlgConnectWifi::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        KLOG_INFO("key=%d", 13);
        vOnOK();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CDlgConnectWifi::vOnOK() {
    const QString password = m_pEdit->text().left(kMaxPasswordChars);
    if (m_iEncryption == kEncryptionNeedsLength && password.size() < kMinPasswordChars) {
        vMessageBoxTipsOk(this, strTrKey("Length cannot be less than 8"));
        return;
    }
    const std::string passwordText = password.toStdString();
    if (m_pStation != nullptr &&
        m_pStation->login().fgConnectWifi(
            m_strSsid.toStdString(), static_cast<std::uint32_t>(m_iEncryption), passwordText)) {
        emit sigWifiConnectSent();
    }
    if (!passwordText.empty()) {
        m_store.vSaveWifiInfo(m_strSsid.toStdString(), passwordText);
    }
    accept();
}
