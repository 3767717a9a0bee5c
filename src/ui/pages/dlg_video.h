#pragma once

#include "ui/scaled_page.h"

// The "A/V Test" page (tab 0): live view, recording and camera actions of the selected device. Its
// drop-down lists get four field heights of room.
class CDlgVideo : public CScaledPage {
    Q_OBJECT

  public:
    explicit CDlgVideo(QWidget* parent) : CScaledPage(parent, 4) {}
};
