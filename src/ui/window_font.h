#pragma once

#include <QFont>

#include "ui/layout_scale.h"

// The font of the main window and of the tab pages: the application's dialog family
// at normal weight (400) whose line height (ascent + descent) is at most cellHeight
// pixels, as large as fits. cellHeight 0 or below gives the application's default
// font, the size a window falls back to when it has shrunk below its start size.
QFont sWindowFont(int cellHeight);

// The font dialog templates are laid out in (9 points, the application's family):
// dialog units are measured in it.
QFont sTemplateFont();

// The dialog units the window and its pages are laid out in: the template font's, the
// vertical unit at most kMaxTemplateBaseY pixels, so that the window's 487 vertical
// units (670 px) and a title bar fit a screen 768 px high whatever the font.
inline constexpr int kMaxTemplateBaseY = 11;
CDialogUnits sTemplateUnits();
