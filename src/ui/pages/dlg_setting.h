#pragma once

#include <QWidget>

#include "protocol/requests.h"

class CStation;
class QPushButton;

// A page with "Restart" and "Factory Reset" for the selected device. Both send at
// once, without confirmation: without a selected device they show "Please choose a
// device"; otherwise, after the login check, the request goes to the device. No tab
// shows this page; the window keeps it for the two requests.
class CDlgSetting : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kIdRestart = 1067;
    static constexpr int kIdFactoryReset = 1068;

    // station may be null (the buttons then refuse like an empty selection). It must
    // outlive the page.
    explicit CDlgSetting(QWidget* parent, CStation* station = nullptr);

    // Returns true when the request left.
    bool fgRestart();
    bool fgFactoryReset();

    QPushButton* pRestartButton() const { return m_pRestart; }
    QPushButton* pFactoryResetButton() const { return m_pFactoryReset; }

  private:
    bool fgSendToSelected(const CmdBytes& request);

    CStation* m_pStation;
    QPushButton* m_pRestart;
    QPushButton* m_pFactoryReset;
};
