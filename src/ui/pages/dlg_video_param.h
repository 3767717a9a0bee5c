#pragma once

#include "ui/scaled_page.h"

// The "Video Parameters" page (tab 4): main and sub stream parameters.
class CDlgVideoParam : public CScaledPage {
    Q_OBJECT

  public:
    explicit CDlgVideoParam(QWidget* parent) : CScaledPage(parent, 1) {}
};
