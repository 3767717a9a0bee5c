#pragma once

#include <array>

#include "protocol/motor_feature.h"
#include "protocol/requests.h"
#include "ui/scaled_page.h"

class CStation;
class QLabel;
class QLineEdit;
class QPushButton;

// The buttons of the motor page, one request each.
enum class EMotorButton {
    kTimerRefresh,  // command 38
    kTimerApply,    // command 39 with both timer values
    kPosRefresh,    // command 40
    kZero,          // command 41
    kLeft,          // command 43, H steps
    kRight,         // command 42, H steps
    kStopH,         // command 44
    kUp,            // command 45, direction 2, V steps
    kDown,          // command 45, direction 3, V steps
    kStopV,         // command 47
};
inline constexpr int kMotorButtonCount = 10;

// The "Motor Control" page (tab 6): the timers and positions of the horizontal (H) and
// the vertical (V) pan/tilt motor, zeroing, moves by a number of steps and stops. Every
// button sends its request to the selected device after the login check; the replies
// fill the timer edits and the position labels, which show "Unknown" until the first
// position reply. Timer edits send the low 8 bits of their number (first 3
// characters), step edits the low 16 bits (first 9 characters).
class CDlgMotor : public CScaledPage, public IMotorView {
    Q_OBJECT

  public:
    // station may be null (a window without devices): the buttons then refuse like an
    // empty selection. The station must outlive the page.
    explicit CDlgMotor(QWidget* parent, CStation* station = nullptr);

    // A shown tab or a clicked row: the positions, then the timers.
    // Another device was chosen: what the page shows of the last one goes, so that a
    // device that does not answer leaves the fields empty rather than another's.
    void vOnDeviceChosen(EDevChoice choice, const CDevInfo& devInfo) override;
    void vTabRefresh(ETabRefresh cause) override;
    // Enter in a timer edit applies the timers; elsewhere on the page it does nothing.
    void vOnEnterKey() override;

    // IMotorView: called on the receive thread, shown on the UI thread.
    void vFillMotorTimer(int horizontal, int vertical) override;
    void vFillMotorPos(int horizontal, int vertical) override;

    // The button's action; true when its request left.
    bool fgPress(EMotorButton button);

    QPushButton* pButton(EMotorButton button) const;
    QLineEdit* pTimerEditH() const { return m_pTimerH; }
    QLineEdit* pTimerEditV() const { return m_pTimerV; }
    QLineEdit* pStepEditH() const { return m_pStepH; }
    QLineEdit* pStepEditV() const { return m_pStepV; }
    QLabel* pPosLabelH() const { return m_pPosH; }
    QLabel* pPosLabelV() const { return m_pPosV; }

  private:
    CmdBytes bufRequest(EMotorButton button) const;

    CStation* m_pStation;
    QLineEdit* m_pTimerH = nullptr;
    QLineEdit* m_pTimerV = nullptr;
    QLabel* m_pPosH = nullptr;
    QLabel* m_pPosV = nullptr;
    QLineEdit* m_pStepH = nullptr;
    QLineEdit* m_pStepV = nullptr;
    std::array<QPushButton*, kMotorButtonCount> m_buttons{};
};
