#pragma once

#include <QDialog>
#include <QString>
#include <filesystem>

#include "ui/wifi_pwd_save_info.h"

class CACEdit;
class CStation;
class QLabel;
class QLineEdit;
class QPushButton;

// "Connect Wifi": asks for the password of one network and has the selected device
// join it. The password box offers the passwords saved for the network (its own
// CWifiPwdSaveInfo, read when the dialog is made). Enter anywhere in the dialog runs
// OK: with encryption type 4 a password shorter than 8 characters is refused with
// "Length cannot be less than 8" and the dialog stays open; otherwise the connect
// request goes out (sigWifiConnectSent when it left), a non-empty password is saved
// for the network and the dialog closes with Accepted. Cancel sends and saves nothing.
class CDlgConnectWifi : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kMaxPasswordChars = 63;
    static constexpr int kEncryptionNeedsLength = 4;
    static constexpr int kMinPasswordChars = 8;

    // station may be null (nothing is sent then, the password is still saved).
    // ssid: the network of the Wi-Fi row; encryption: the row's encryption number;
    // storeFolder: where "wifisaveconfig.ini" lies (the folder for written files).
    CDlgConnectWifi(CStation* station, const QString& ssid, int encryption,
                    const std::filesystem::path& storeFolder, QWidget* owner);

    QLineEdit* pPasswordEdit() const { return m_pEdit; }
    QLabel* pSsidLabel() const { return m_pSsid; }
    CACEdit* pAutoComplete() const { return m_pAutoComplete; }
    const CWifiPwdSaveInfo& store() const { return m_store; }

  signals:
    // The connect request left for the selected device; the window starts polling
    // the device's Wi-Fi status.
    void sigWifiConnectSent();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void vOnOK();

    CStation* m_pStation;
    QString m_strSsid;
    int m_iEncryption;
    CWifiPwdSaveInfo m_store;
    QLabel* m_pSsid;
    QLineEdit* m_pEdit;
    CACEdit* m_pAutoComplete;
};
