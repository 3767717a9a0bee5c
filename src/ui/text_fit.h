#pragma once

// Sizes from the font: the window and the pages keep their template's arrangement, but a
// control is never narrower than its text in the font it shows it in.

#include <vector>

class QTableView;
class QWidget;

// The width a control needs to show its caption whole in its current font: a label,
// a check box, a push button or a group box's title; 0 for other controls and for
// empty or word-wrapped captions.
int iCaptionWidth(const QWidget& control);

// Widens the controls (siblings, in one parent's coordinates) whose caption does not
// fit, by iFitWidths: the arrangement stays, controls right of a widened one move right.
// extraNeeds, when given, holds a least width per control (0: only its caption's).
// Returns how much wider the arrangement became.
int iFitToText(const std::vector<QWidget*>& controls, const std::vector<int>& extraNeeds = {});

// Widens each column of the view to show its header whole in the header's font.
void vFitHeaderSections(QTableView& view);
