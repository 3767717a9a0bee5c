#include "ui/dlg_change_password.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "protocol/station.h"
#include "ui/dialog_text.h"

CDlgChangePassword::CDlgChangePassword(CStation* station, QWidget* owner)
    : QDialog(owner),
      m_pStation(station),
      m_pEdit(new QLineEdit(this)),
      m_pOk(new QPushButton(strTrKey("OK"), this)) {
    setWindowTitle(strTrKey("Modify Password"));
    m_pEdit->setMaxLength(kMaxPasswordChars);
    m_pOk->setDefault(true);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_pEdit, 1);
    layout->addWidget(m_pOk);
    connect(m_pOk, &QPushButton::clicked, this, &CDlgChangePassword::vOnOK);
    m_pEdit->setFocus();
}

void CDlgChangePassword::vOnOK() {
    if (m_pStation == nullptr || m_pStation->registry().iListSelect() == -1) {
        vShowChooseDevice(this);
        return;
    }
    if (!m_pStation->fgSelectDevIsLogin()) {
        return;
    }
    m_pStation->devCmd().fgModifyPassword(m_pEdit->text().toStdString());
    accept();
}
