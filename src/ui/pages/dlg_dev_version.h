#pragma once

#include "ui/scaled_page.h"

// The "Device Version" page (tab 3): the default configuration of the pooled devices. Its drop-down
// lists get five field heights of room.
class CDlgDevVersion : public CScaledPage {
    Q_OBJECT

  public:
    explicit CDlgDevVersion(QWidget* parent) : CScaledPage(parent, 5) {}
};
