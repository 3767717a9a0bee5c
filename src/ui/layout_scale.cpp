#include "ui/layout_scale.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

namespace {
constexpr int kLettersInAlphabetRow = 52;

// Edge of the main window's child: the distance from the window's near edge, scaled.
int iScaleFromEdge(int recordedEdge, int recordedOrigin, double ratio, int newOrigin) {
    return static_cast<int>(std::trunc(ratio * (recordedEdge - recordedOrigin))) + newOrigin;
}

// Edge of a page's child: the distance from the page's matching edge, scaled, plus the
// new edge, and only then truncated.
int iScalePageEdge(int recordedEdge, int recordedPageEdge, double ratio, int newPageEdge) {
    return static_cast<int>(std::trunc(ratio * (recordedEdge - recordedPageEdge) + newPageEdge));
}

int iRoundDiv(int value, int multiplier, int divisor) {
    return static_cast<int>(std::lround(static_cast<double>(value) * multiplier / divisor));
}
}  // namespace

CDialogUnits sDialogUnitsFromFont(int widthOfAlphabet, int charHeight) {
    // Average over 26 pairs, rounded to the nearest pixel.
    const int baseX = (widthOfAlphabet / (kLettersInAlphabetRow / 2) + 1) / 2;
    return CDialogUnits{baseX, charHeight};
}

CLayoutRect sDialogRectToPixels(int x, int y, int w, int h, const CDialogUnits& units) {
    const int left = iRoundDiv(x, units.m_iBaseX, 4);
    const int top = iRoundDiv(y, units.m_iBaseY, 8);
    return CLayoutRect{left, top, left + iRoundDiv(w, units.m_iBaseX, 4),
                       top + iRoundDiv(h, units.m_iBaseY, 8)};
}

int iWindowFontHeight(double ratioY) {
    return static_cast<int>(std::trunc(ratioY)) * kStartFontHeight;
}

int iPageFontHeight(double ratioY) {
    return static_cast<int>(std::trunc(kStartFontHeight * ratioY));
}

CLayoutRect sScaleWindowChild(const CLayoutRect& recordedWindow, const CLayoutRect& recordedChild,
                              const CLayoutRect& newWindow) {
    if (recordedWindow.iWidth() == 0 || recordedWindow.iHeight() == 0) {
        return recordedChild;
    }
    const double rx = static_cast<double>(newWindow.iWidth()) / recordedWindow.iWidth();
    const double ry = static_cast<double>(newWindow.iHeight()) / recordedWindow.iHeight();
    return CLayoutRect{
        iScaleFromEdge(recordedChild.m_iLeft, recordedWindow.m_iLeft, rx, newWindow.m_iLeft),
        iScaleFromEdge(recordedChild.m_iTop, recordedWindow.m_iTop, ry, newWindow.m_iTop),
        iScaleFromEdge(recordedChild.m_iRight, recordedWindow.m_iLeft, rx, newWindow.m_iLeft),
        iScaleFromEdge(recordedChild.m_iBottom, recordedWindow.m_iTop, ry, newWindow.m_iTop)};
}

CLayoutRect sScalePageChild(const CLayoutRect& recordedPage, const CLayoutRect& recordedChild,
                            const CLayoutRect& newPage) {
    if (recordedPage.iWidth() == 0 || recordedPage.iHeight() == 0) {
        return recordedChild;
    }
    const double sx = static_cast<double>(newPage.iWidth()) / recordedPage.iWidth();
    const double sy = static_cast<double>(newPage.iHeight()) / recordedPage.iHeight();
    return CLayoutRect{
        iScalePageEdge(recordedChild.m_iLeft, recordedPage.m_iLeft, sx, newPage.m_iLeft),
        iScalePageEdge(recordedChild.m_iTop, recordedPage.m_iTop, sy, newPage.m_iTop),
        iScalePageEdge(recordedChild.m_iRight, recordedPage.m_iRight, sx, newPage.m_iRight),
        iScalePageEdge(recordedChild.m_iBottom, recordedPage.m_iBottom, sy, newPage.m_iBottom)};
}

int iComboDropBottom(int top, int bottom, int factor) {
    return factor * bottom - (factor - 1) * top;
}

CLayoutRect sTabPageRect(int clientWidth, int clientHeight, int tabRowHeight) {
    constexpr int kSideMargin = 2;
    return CLayoutRect{kSideMargin, tabRowHeight, clientWidth - kSideMargin, clientHeight};
}

int iFitWidths(std::vector<CLayoutRect>& rects, const std::vector<int>& needs) {
    // The room made so far: edges at or right of each x move right by its width.
    std::vector<std::pair<int, int>> insertions;
    const auto mapped = [&insertions](int x) {
        int moved = x;
        for (const auto& [at, width] : insertions) {
            if (x >= at) {
                moved += width;
            }
        }
        return moved;
    };
    // Left to right, so that a control's own room is made before what follows it.
    std::vector<std::size_t> order(rects.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(), [&rects](std::size_t a, std::size_t b) {
        return rects[a].m_iRight < rects[b].m_iRight;
    });
    int added = 0;
    for (const std::size_t i : order) {
        if (i >= needs.size()) {
            continue;
        }
        const int width = mapped(rects[i].m_iRight) - mapped(rects[i].m_iLeft);
        if (width < needs[i]) {
            insertions.emplace_back(rects[i].m_iRight, needs[i] - width);
            added += needs[i] - width;
        }
    }
    for (CLayoutRect& rect : rects) {
        rect.m_iLeft = mapped(rect.m_iLeft);
        rect.m_iRight = mapped(rect.m_iRight);
    }
    return added;
}
