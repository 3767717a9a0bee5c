#pragma once

#include "ui/scaled_page.h"

// The "Device Info" page (tab 2): network settings and detectors of the selected device.
class CDlgDevInfo : public CScaledPage {
    Q_OBJECT

  public:
    explicit CDlgDevInfo(QWidget* parent) : CScaledPage(parent, 1) {}
};
