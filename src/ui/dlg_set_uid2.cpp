#include "ui/dlg_set_uid2.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "protocol/requests.h"
#include "ui/dialog_text.h"
#include "ui/pages/dlg_set_uid.h"

CDlgSetUid2::CDlgSetUid2(CStation* station, QWidget* owner)
    : QDialog(owner),
      m_pStation(station),
      m_pEdit(new QLineEdit(this)),
      m_pOk(new QPushButton(strTrKey("OK"), this)) {
    setWindowTitle(strTrKey("Setting Uid"));
    m_pOk->setDefault(true);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_pEdit, 1);
    layout->addWidget(m_pOk);
    connect(m_pOk, &QPushButton::clicked, this, &CDlgSetUid2::vOnOK);
    connect(m_pEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.size() == static_cast<qsizetype>(kUidChars)) {
            vOnOK();
        }
    });
    m_pEdit->setFocus();
}

void CDlgSetUid2::vOnOK() {
    if (m_pStation == nullptr || m_fgSending) {
        return;
    }
    // The length box runs its own event loop, in which more scanned characters may
    // arrive; they must not start a second send.
    m_fgSending = true;
    const EUidSend result = eSendUid(*m_pStation, m_pEdit->text());
    m_fgSending = false;
    if (result == EUidSend::kSent) {
        accept();
    }
}
