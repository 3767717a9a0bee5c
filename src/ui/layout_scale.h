#pragma once

#include <vector>

// The proportional layout of the main window and its tab pages, as pure arithmetic
// on rectangles: no widgets, no fonts. The window and the pages record their own
// rectangle and every child's rectangle once, and on every resize map each recorded
// child rectangle onto the new size with these rules.

// A rectangle by its edges; right and bottom are exclusive (width = right - left).
struct CLayoutRect {
    int m_iLeft = 0;
    int m_iTop = 0;
    int m_iRight = 0;
    int m_iBottom = 0;

    int iWidth() const { return m_iRight - m_iLeft; }
    int iHeight() const { return m_iBottom - m_iTop; }
    bool operator==(const CLayoutRect&) const = default;
};

// Dialog base units of a template font: the average character width and the
// character height, in pixels.
struct CDialogUnits {
    int m_iBaseX = 0;
    int m_iBaseY = 0;
};

// Base units from the font's measures: widthOfAlphabet is the width in pixels of the
// 52 letters "A".."Z" "a".."z" written in a row, charHeight the font's line height.
// The average is rounded to the nearest pixel, as dialog templates round it.
CDialogUnits sDialogUnitsFromFont(int widthOfAlphabet, int charHeight);

// A template rectangle (x, y, w, h in dialog units) in pixels: x and w scale by
// baseX / 4, y and h by baseY / 8, each rounded to the nearest pixel.
CLayoutRect sDialogRectToPixels(int x, int y, int w, int h, const CDialogUnits& units);

// Font height of the main window after a resize: the height ratio is cut to a whole
// number first and then multiplied by the start height 15. So ratios below 1 give 0
// (the default font), ratios in [1, 2) keep 15 and 2 gives 30. ratioY >= 0.
int iWindowFontHeight(double ratioY);

// Font height of a tab page after a resize: trunc(15 x ratioY). ratioY >= 0.
int iPageFontHeight(double ratioY);

// Start font height of the window and of every page.
inline constexpr int kStartFontHeight = 15;

// A child of the main window after a resize. recordedWindow and recordedChild are
// the rectangles taken at start (same coordinates); newWindow is the window now.
// Each edge's distance from the recorded window's left (x) or top (y) edge is
// multiplied by newWidth / recordedWidth or newHeight / recordedHeight, truncated,
// and added to the new window's left or top edge. A recorded window of zero width
// or height leaves the child where it was recorded.
CLayoutRect sScaleWindowChild(const CLayoutRect& recordedWindow, const CLayoutRect& recordedChild,
                              const CLayoutRect& newWindow);

// A child of a tab page after a resize. Unlike the main window, left and top are
// measured from the page's left and top edges, right and bottom from its right and
// bottom edges, each distance scaled and the sum truncated:
//   left = trunc(sx * (childLeft - pageLeft) + newPageLeft)
//   right = trunc(sx * (childRight - pageRight) + newPageRight), and likewise in y.
// A recorded page of zero width or height leaves the child where it was recorded.
CLayoutRect sScalePageChild(const CLayoutRect& recordedPage, const CLayoutRect& recordedChild,
                            const CLayoutRect& newPage);

// The room a drop-down list gets below its edit field: the bottom of the list when
// the closed field spans top..bottom and the page gives it `factor` field heights
// (bottom = factor * bottom - (factor - 1) * top). The live view page uses 4, the
// default configuration page 5; factor 1 gives the field's own bottom.
int iComboDropBottom(int top, int bottom, int factor);

// Where the tab pages sit inside the tab control: its client rectangle shrunk by
// 2 px left and right and by tabRowHeight at the top.
CLayoutRect sTabPageRect(int clientWidth, int clientHeight, int tabRowHeight);

// Widens the controls whose text does not fit, keeping the arrangement. rects holds the
// controls' rectangles (changed in place), needs the width each must have at least (0:
// any). Room for a control short of width is made at its right edge: that edge and
// every edge at or right of it, of every control, move right by the shortfall, so rows
// keep their order, columns stay aligned and a rectangle spanning the edge (a group
// box, the window) grows with it. Returns how much wider the whole arrangement became.
int iFitWidths(std::vector<CLayoutRect>& rects, const std::vector<int>& needs);
