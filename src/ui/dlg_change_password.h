#pragma once

#include <QDialog>

class CStation;
class QLineEdit;
class QPushButton;

// "Modify Password": asks for a new login password of the selected device and sends
// it. OK without a selected device shows "Please choose a device"; when the login
// check fails (it reports that itself) the dialog stays open; otherwise the text (at
// most 31 characters, empty included) goes to the device and the dialog closes with
// Accepted. There is no cancel button: the close box dismisses it unsent.
class CDlgChangePassword : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kMaxPasswordChars = 31;

    // station may be null (a window without devices): OK then refuses like an empty
    // selection. The station must outlive the dialog.
    CDlgChangePassword(CStation* station, QWidget* owner);

    QLineEdit* pPasswordEdit() const { return m_pEdit; }
    QPushButton* pOkButton() const { return m_pOk; }

  private:
    void vOnOK();

    CStation* m_pStation;
    QLineEdit* m_pEdit;
    QPushButton* m_pOk;
};
