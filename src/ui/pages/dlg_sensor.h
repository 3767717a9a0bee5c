#pragma once

#include "ui/scaled_page.h"

// The "Sensor management" page (tab 5): learning, testing and calibrating sensors.
class CDlgSensor : public CScaledPage {
    Q_OBJECT

  public:
    explicit CDlgSensor(QWidget* parent) : CScaledPage(parent, 1) {}
};
