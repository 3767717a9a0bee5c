#pragma once

#include "ui/scaled_page.h"

// The "Motor Control" page (tab 6): pan/tilt motor position and timer.
class CDlgMotor : public CScaledPage {
    Q_OBJECT

  public:
    explicit CDlgMotor(QWidget* parent) : CScaledPage(parent, 1) {}
};
