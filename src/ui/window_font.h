#pragma once

#include <QFont>

// The font of the main window and of the tab pages: the application's dialog family
// at normal weight (400) whose line height (ascent + descent) is at most cellHeight
// pixels, as large as fits. cellHeight 0 or below gives the application's default
// font, the size a window falls back to when it has shrunk below its start size.
QFont sWindowFont(int cellHeight);

// The font dialog templates are laid out in (9 points, the application's family):
// dialog units are measured in it.
QFont sTemplateFont();
