#pragma once

#include <QDialog>
#include <string>

class IUdpSender;
class QLineEdit;
class QPushButton;

// "Setting Name": names the sensor a device has just learned. OK sends the name (at
// most 99 characters, in UTF-8, cut to the 35 bytes the request holds without
// splitting a character) as a broadcast on the device's subnet, then asks the device
// for its sensor list, and closes with Accepted. Cancel and the close box send
// nothing.
class CDlgCodeName : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kMaxNameChars = 99;
    static constexpr std::size_t kMaxAddressChars = 19;

    // sender: the transport the requests leave through; it must outlive the dialog.
    // addressText: the device that reported the learned sensor (cut to 19 characters).
    CDlgCodeName(IUdpSender& sender, const std::string& addressText, QWidget* owner);

    QLineEdit* pNameEdit() const { return m_pEdit; }
    QPushButton* pOkButton() const { return m_pOk; }

  private:
    void vOnOK();

    IUdpSender& m_sender;
    std::string m_strAddress;
    QLineEdit* m_pEdit;
    QPushButton* m_pOk;
};
