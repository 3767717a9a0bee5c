#pragma once

#include <QDialog>

class CStation;
class QLineEdit;
class QPushButton;

// "Setting Uid": writes a UID to the device of the context menu (the selected one).
// Like the "Modify UID" page it sends as soon as the edit holds exactly 20 characters,
// or on OK; without a selected device the login check fails and nothing happens. A
// sent UID closes the dialog with Accepted; "Length is not equal to 20" leaves it open.
class CDlgSetUid2 : public QDialog {
    Q_OBJECT

  public:
    // station may be null (nothing can be sent). It must outlive the dialog.
    CDlgSetUid2(CStation* station, QWidget* owner);

    QLineEdit* pUidEdit() const { return m_pEdit; }
    QPushButton* pOkButton() const { return m_pOk; }

  private:
    void vOnOK();

    CStation* m_pStation;
    QLineEdit* m_pEdit;
    QPushButton* m_pOk;
    bool m_fgSending = false;
};
