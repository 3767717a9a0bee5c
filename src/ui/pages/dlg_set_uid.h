#pragma once

#include <QString>

#include "ui/scaled_page.h"

class CStation;
class QLabel;
class QLineEdit;
class QPushButton;

// How a UID send after the selection check ended.
enum class EUidSend { kSent, kLoginFailed, kWrongLength, kSendFailed };

// The common steps of a UID send from the page and from the "Setting Uid" dialog: the
// login check of the selected device (it reports its own failures); the first 20
// characters of `text`, refused with the box "Length is not equal to 20" (no owner
// window) when there are fewer; the UID request to the selected device, which the
// station records as the last UID sent for the success line.
EUidSend eSendUid(CStation& station, const QString& text);

// The "Modify UID" page (tab 1): writes a UID, usually scanned from a barcode, to the
// selected device. The UID goes out as soon as the edit holds exactly 20 characters,
// or on OK (which sends the first 20 of a longer text). Without a selected device it
// shows "Please choose a device". The edit keeps its text after a send. A grey
// "Input uid" label lies over the empty edit while it has no focus.
class CDlgSetUid : public CScaledPage {
    Q_OBJECT

  public:
    // station may be null (a window without devices): a send then refuses like an
    // empty selection. The station must outlive the page.
    explicit CDlgSetUid(QWidget* parent, CStation* station = nullptr);

    QLineEdit* pUidEdit() const { return m_pEdit; }
    QLabel* pPlaceholder() const { return m_pPlaceholder; }
    QPushButton* pOkButton() const { return m_pOk; }

    // The send of OK and of the twentieth character.
    void vSendUid();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    CStation* m_pStation;
    QLineEdit* m_pEdit;
    QLabel* m_pPlaceholder;
    QPushButton* m_pOk;
};
