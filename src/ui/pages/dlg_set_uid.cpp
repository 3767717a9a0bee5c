#include "ui/pages/dlg_set_uid.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "protocol/requests.h"
#include "protocol/station.h"
#include "ui/dialog_text.h"
#include "ui/pages/page_support.h"

EUidSend eSendUid(CStation& station, const QString& text) {
    if (!station.fgSelectDevIsLogin()) {
        return EUidSend::kLoginFailed;
    }
    const QString uid = text.left(static_cast<qsizetype>(kUidChars));
    if (uid.size() < static_cast<qsizetype>(kUidChars)) {
        vMessageBoxTipsOk(nullptr, strTrKey("Length is not equal to 20"));
        return EUidSend::kWrongLength;
    }
    return station.devCmd().fgSetUid(uid.toStdString()) ? EUidSend::kSent : EUidSend::kSendFailed;
}

CDlgSetUid::CDlgSetUid(QWidget* parent, CStation* station)
    : CScaledPage(parent, 1),
      m_pStation(station),
      m_pEdit(new QLineEdit(this)),
      m_pPlaceholder(new QLabel(strTrKey("Input uid"), m_pEdit)),
      m_pOk(new QPushButton(strTrKey("OK"), this)) {
    m_pEdit->setGeometry(sPageTemplateRect(20, 24, 180, 14));
    m_pOk->setGeometry(sPageTemplateRect(210, 23, 50, 16));
    // The label lies inside the edit, on its white ground, and lets clicks through.
    m_pPlaceholder->setGeometry(m_pEdit->rect().adjusted(4, 1, -4, -1));
    m_pPlaceholder->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_pPlaceholder->setAutoFillBackground(true);
    QPalette ground = m_pPlaceholder->palette();
    ground.setColor(QPalette::Window, Qt::white);
    ground.setColor(QPalette::WindowText, Qt::gray);
    m_pPlaceholder->setPalette(ground);
    m_pEdit->installEventFilter(this);

    connect(m_pOk, &QPushButton::clicked, this, &CDlgSetUid::vSendUid);
    connect(m_pEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.size() == static_cast<qsizetype>(kUidChars)) {
            vSendUid();
        }
    });
}

void CDlgSetUid::vSendUid() {
    if (m_pStation == nullptr || m_pStation->registry().iListSelect() == -1) {
        vShowChooseDevice(this);
        return;
    }
    eSendUid(*m_pStation, m_pEdit->text());
}

bool CDlgSetUid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pEdit) {
        if (event->type() == QEvent::FocusIn) {
            m_pPlaceholder->hide();
        } else if (event->type() == QEvent::FocusOut && m_pEdit->text().isEmpty()) {
            m_pPlaceholder->show();
        } else if (event->type() == QEvent::Resize) {
            m_pPlaceholder->setGeometry(m_pEdit->rect().adjusted(4, 1, -4, -1));
        }
    }
    return CScaledPage::eventFilter(watched, event);
}
