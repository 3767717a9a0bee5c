#pragma once

#include "ui/scaled_page.h"

// The "Log" page (tab 7): the device log output.
class CDlgLog : public CScaledPage {
    Q_OBJECT

  public:
    explicit CDlgLog(QWidget* parent) : CScaledPage(parent, 1) {}
};
