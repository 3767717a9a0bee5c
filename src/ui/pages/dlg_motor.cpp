#include "ui/pages/dlg_motor.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstddef>
#include <cstdint>

#include "protocol/cmd_result.h"
#include "protocol/station.h"
#include "ui/dialog_text.h"
#include "ui/pages/page_support.h"

namespace {
constexpr int kTimerRoomChars = 3;
constexpr int kStepRoomChars = 9;

// Where each button sits, in dialog units.
struct CMotorButtonDef {
    EMotorButton m_eButton;
    int m_iX;
    int m_iY;
};
constexpr CMotorButtonDef kButtonDefs[kMotorButtonCount] = {
    {EMotorButton::kTimerRefresh, 220, 19}, {EMotorButton::kTimerApply, 278, 19},
    {EMotorButton::kPosRefresh, 220, 49},   {EMotorButton::kZero, 278, 49},
    {EMotorButton::kLeft, 110, 99},         {EMotorButton::kRight, 166, 99},
    {EMotorButton::kStopH, 222, 99},        {EMotorButton::kUp, 110, 124},
    {EMotorButton::kDown, 166, 124},        {EMotorButton::kStopV, 222, 124},
};
constexpr int kButtonW = 50;
constexpr int kButtonH = 16;

std::size_t uSlot(EMotorButton button) {
    return static_cast<std::size_t>(button);
}

QLabel* pLabel(QWidget* page, const QString& text, int x, int y, int w) {
    auto* label = new QLabel(text, page);
    label->setGeometry(sPageTemplateRect(x, y, w, 10));
    return label;
}

QLineEdit* pEdit(QWidget* page, int x, int y, int w) {
    auto* edit = new QLineEdit(page);
    edit->setGeometry(sPageTemplateRect(x, y, w, 14));
    return edit;
}

// A button's caption key, translated. Each literal passes the lookup where the key scan
// sees it.
QString strCaption(EMotorButton button) {
    switch (button) {
        case EMotorButton::kTimerRefresh:
        case EMotorButton::kPosRefresh:
            return strTrKey("Refresh");
        case EMotorButton::kTimerApply:
            return strTrKey("Apply");
        case EMotorButton::kZero:
            return strTrKey("Zero");
        case EMotorButton::kLeft:
            return strTrKey("Left");
        case EMotorButton::kRight:
            return strTrKey("Right");
        case EMotorButton::kUp:
            return strTrKey("Up");
        case EMotorButton::kDown:
            return strTrKey("Down");
        case EMotorButton::kStopH:
        case EMotorButton::kStopV:
            break;
    }
    return strTrKey("Stop");
}
}  // namespace

CDlgMotor::CDlgMotor(QWidget* parent, CStation* station)
    : CScaledPage(parent, 1), m_pStation(station) {
    pLabel(this, strTrKey("Timer of Motor      H:"), 15, 22, 88);
    m_pTimerH = pEdit(this, 105, 20, 40);
    pLabel(this, QStringLiteral("V:"), 152, 22, 12);
    m_pTimerV = pEdit(this, 166, 20, 40);

    pLabel(this, strTrKey("Pos of   Motor      H:"), 15, 52, 88);
    m_pPosH = pLabel(this, strTrKey("Unknown"), 105, 52, 40);
    pLabel(this, QStringLiteral("V:"), 152, 52, 12);
    m_pPosV = pLabel(this, strTrKey("Unknown"), 166, 52, 40);

    pLabel(this, strTrKey("Motor Movement:"), 15, 82, 100);
    pLabel(this, strTrKey("Step"), 15, 102, 25);
    m_pStepH = pEdit(this, 42, 100, 58);
    pLabel(this, strTrKey("Step"), 15, 127, 25);
    m_pStepV = pEdit(this, 42, 125, 58);

    for (const CMotorButtonDef& def : kButtonDefs) {
        auto* button = new QPushButton(strCaption(def.m_eButton), this);
        button->setGeometry(sPageTemplateRect(def.m_iX, def.m_iY, kButtonW, kButtonH));
        m_buttons[uSlot(def.m_eButton)] = button;
        connect(button, &QPushButton::clicked, this,
                [this, which = def.m_eButton] { fgPress(which); });
    }
}

QPushButton* CDlgMotor::pButton(EMotorButton button) const {
    return m_buttons[uSlot(button)];
}

void CDlgMotor::vTabRefresh(ETabRefresh cause) {
    if (cause == ETabRefresh::kDelayed) {
        return;
    }
    fgPress(EMotorButton::kPosRefresh);
    fgPress(EMotorButton::kTimerRefresh);
}

void CDlgMotor::vOnDeviceChosen(EDevChoice /*choice*/, const CDevInfo& /*devInfo*/) {
    m_pTimerH->clear();
    m_pTimerV->clear();
    m_pPosH->setText(strTrKey("Unknown"));
    m_pPosV->setText(strTrKey("Unknown"));
}

void CDlgMotor::vOnEnterKey() {
    if (m_pTimerH->hasFocus() || m_pTimerV->hasFocus()) {
        fgPress(EMotorButton::kTimerApply);
    }
}

bool CDlgMotor::fgPress(EMotorButton button) {
    const std::optional<std::string> ip = sLoggedInSelection(this, m_pStation);
    if (!ip || !m_pStation->fgSendToDev(*ip, bufRequest(button))) {
        return false;
    }
    // The device answers every request but the timers' new values: the line that they
    // left is all the operator gets.
    if (CDevInfo devInfo;
        button == EMotorButton::kTimerApply && m_pStation->registry().fgGetCurrDevInfo(devInfo)) {
        m_pStation->vReport(sAddrResult(devInfo.m_uiIpAddr, "Motor timer sent"));
    }
    return true;
}

CmdBytes CDlgMotor::bufRequest(EMotorButton button) const {
    const auto steps = [](const QLineEdit* edit) {
        return static_cast<std::uint16_t>(iEditNumber(edit->text(), kStepRoomChars));
    };
    switch (button) {
        case EMotorButton::kTimerRefresh:
            return bufBuildGetMotorTimer();
        case EMotorButton::kTimerApply:
            return bufBuildSetMotorTimer(
                static_cast<std::uint8_t>(iEditNumber(m_pTimerH->text(), kTimerRoomChars)),
                static_cast<std::uint8_t>(iEditNumber(m_pTimerV->text(), kTimerRoomChars)));
        case EMotorButton::kPosRefresh:
            return bufBuildGetMotorPos();
        case EMotorButton::kZero:
            return bufBuildZeroMotorPos();
        case EMotorButton::kLeft:
            return bufBuildMotorMove(EMotorDir::kLeft, steps(m_pStepH));
        case EMotorButton::kRight:
            return bufBuildMotorMove(EMotorDir::kRight, steps(m_pStepH));
        case EMotorButton::kStopH:
            return bufBuildMotorStop(EMotorAxis::kHorizontal);
        case EMotorButton::kUp:
            return bufBuildMotorMove(EMotorDir::kUp, steps(m_pStepV));
        case EMotorButton::kDown:
            return bufBuildMotorMove(EMotorDir::kDown, steps(m_pStepV));
        case EMotorButton::kStopV:
            break;
    }
    return bufBuildMotorStop(EMotorAxis::kVertical);
}

void CDlgMotor::vFillMotorTimer(int horizontal, int vertical) {
    QMetaObject::invokeMethod(
        this,
        [this, horizontal, vertical] {
            m_pTimerH->setText(QString::number(horizontal));
            m_pTimerV->setText(QString::number(vertical));
        },
        Qt::QueuedConnection);
}

void CDlgMotor::vFillMotorPos(int horizontal, int vertical) {
    QMetaObject::invokeMethod(
        this,
        [this, horizontal, vertical] {
            m_pPosH->setText(QString::number(horizontal));
            m_pPosV->setText(QString::number(vertical));
        },
        Qt::QueuedConnection);
}
