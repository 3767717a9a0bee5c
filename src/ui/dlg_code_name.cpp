#include "ui/dlg_code_name.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "net/lan_interfaces.h"
#include "protocol/requests.h"
#include "ui/dialog_text.h"

CDlgCodeName::CDlgCodeName(IUdpSender& sender, const std::string& addressText, QWidget* owner)
    : QDialog(owner),
      m_sender(sender),
      m_strAddress(addressText.substr(0, kMaxAddressChars)),
      m_pEdit(new QLineEdit(this)),
      m_pOk(new QPushButton(strTrKey("OK"), this)) {
    setWindowTitle(strTrKey("Setting Name"));
    m_pEdit->setMaxLength(kMaxNameChars);
    m_pOk->setDefault(true);
    auto* cancel = new QPushButton(strTrKey("Cancel"), this);
    cancel->setAutoDefault(false);
    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(strTrKey("Input Name:"), this), 0, 0);
    layout->addWidget(m_pEdit, 0, 1, 1, 2);
    layout->addWidget(m_pOk, 1, 1);
    layout->addWidget(cancel, 1, 2);
    connect(m_pOk, &QPushButton::clicked, this, &CDlgCodeName::vOnOK);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_pEdit->setFocus();
}

void CDlgCodeName::vOnOK() {
    const QByteArray nameUtf8 = m_pEdit->text().toUtf8();
    const CmdBytes nameRequest = bufBuildNameSensor(
        std::string_view(nameUtf8.constData(), static_cast<std::size_t>(nameUtf8.size())));
    m_sender.fgSendUdpByIpStr(m_strAddress, kPortCommand, nameRequest, true);
    m_sender.fgSendUdpByIpStr(m_strAddress, kPortCommand, bufBuildQuerySensors(), false);
    accept();
}
