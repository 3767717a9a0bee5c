#pragma once

#include "ui/scaled_page.h"

// The "Modify UID" page (tab 1): writes a UID to the selected device.
class CDlgSetUid : public CScaledPage {
    Q_OBJECT

  public:
    explicit CDlgSetUid(QWidget* parent) : CScaledPage(parent, 1) {}
};
