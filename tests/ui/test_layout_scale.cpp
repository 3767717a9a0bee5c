#include <gtest/gtest.h>

#include <vector>

#include "ui/layout_scale.h"

namespace {

TEST(LayoutScale, DialogUnitsFromFontRoundTheAverageWidth) {
    struct Row {
        int alphabetWidth;
        int height;
        int baseX;
    };
    // 52 letters: the average is rounded to the nearest pixel.
    for (const Row& row :
         {Row{312, 13, 6}, Row{337, 13, 6}, Row{338, 13, 7}, Row{364, 15, 7}, Row{0, 0, 0}}) {
        const CDialogUnits units = sDialogUnitsFromFont(row.alphabetWidth, row.height);
        EXPECT_EQ(row.baseX, units.m_iBaseX) << row.alphabetWidth;
        EXPECT_EQ(row.height, units.m_iBaseY);
    }
}

TEST(LayoutScale, DialogRectToPixels) {
    struct Row {
        int x, y, w, h;
        CDialogUnits units;
        CLayoutRect pixels;
    };
    const Row rows[] = {
        {0, 0, 708, 487, {6, 13}, {0, 0, 1062, 791}},
        {7, 77, 179, 198, {6, 13}, {11, 125, 11 + 269, 125 + 322}},
        {1, 9, 193, 467, {7, 15}, {2, 17, 2 + 338, 17 + 876}},
        {0, 0, 0, 0, {7, 15}, {0, 0, 0, 0}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.pixels, sDialogRectToPixels(row.x, row.y, row.w, row.h, row.units))
            << row.x << "," << row.y;
    }
}

TEST(LayoutScale, WindowFontScalesInWholeSteps) {
    struct Row {
        double ratio;
        int height;
    };
    for (const Row& row : {Row{0.0, 0}, Row{0.5, 0}, Row{0.999, 0}, Row{1.0, 15}, Row{1.5, 15},
                           Row{1.999, 15}, Row{2.0, 30}, Row{3.7, 45}}) {
        EXPECT_EQ(row.height, iWindowFontHeight(row.ratio)) << row.ratio;
    }
}

TEST(LayoutScale, PageFontScalesWithTheRatio) {
    struct Row {
        double ratio;
        int height;
    };
    for (const Row& row :
         {Row{0.0, 0}, Row{0.5, 7}, Row{0.999, 14}, Row{1.0, 15}, Row{1.5, 22}, Row{2.0, 30}}) {
        EXPECT_EQ(row.height, iPageFontHeight(row.ratio)) << row.ratio;
    }
}

TEST(LayoutScale, WindowChildKeepsItsProportions) {
    struct Row {
        const char* what;
        CLayoutRect recordedWindow;
        CLayoutRect child;
        CLayoutRect newWindow;
        CLayoutRect expected;
    };
    const Row rows[] = {
        {"same size", {0, 0, 1000, 800}, {10, 20, 110, 70}, {0, 0, 1000, 800}, {10, 20, 110, 70}},
        {"twice", {0, 0, 1000, 800}, {10, 20, 110, 70}, {0, 0, 2000, 1600}, {20, 40, 220, 140}},
        {"half, truncated",
         {0, 0, 1000, 800},
         {11, 21, 111, 71},
         {0, 0, 500, 400},
         {5, 10, 55, 35}},
        {"edges scale apart",
         {0, 0, 300, 300},
         {100, 100, 200, 200},
         {0, 0, 400, 400},
         {133, 133, 266, 266}},
        {"moved window",
         {100, 50, 1100, 850},
         {110, 70, 210, 120},
         {200, 100, 2200, 1700},
         {220, 140, 420, 240}},
        {"only wider", {0, 0, 1000, 800}, {10, 20, 110, 70}, {0, 0, 1500, 800}, {15, 20, 165, 70}},
        {"no recorded size", {0, 0, 0, 0}, {10, 20, 110, 70}, {0, 0, 500, 400}, {10, 20, 110, 70}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.expected, sScaleWindowChild(row.recordedWindow, row.child, row.newWindow))
            << row.what;
    }
}

TEST(LayoutScale, PageChildIsAnchoredToTheMatchingEdges) {
    struct Row {
        const char* what;
        CLayoutRect recordedPage;
        CLayoutRect child;
        CLayoutRect newPage;
        CLayoutRect expected;
    };
    const Row rows[] = {
        {"same size", {0, 0, 400, 300}, {10, 20, 110, 70}, {0, 0, 400, 300}, {10, 20, 110, 70}},
        {"twice", {0, 0, 400, 300}, {10, 20, 110, 70}, {0, 0, 800, 600}, {20, 40, 220, 140}},
        // right = trunc(1.5 * (110 - 400) + 600) = trunc(165) and bottom alike.
        {"one and a half",
         {0, 0, 400, 300},
         {10, 20, 110, 70},
         {0, 0, 600, 450},
         {15, 30, 165, 105}},
        // right = trunc(0.7 * (105 - 400) + 280) = trunc(73.5) = 73.
        {"shrunk, truncated after the sum",
         {0, 0, 400, 300},
         {11, 21, 105, 71},
         {0, 0, 280, 210},
         {7, 14, 73, 49}},
        {"page elsewhere",
         {50, 40, 450, 340},
         {60, 60, 160, 110},
         {100, 80, 900, 680},
         {120, 120, 320, 220}},
        {"no recorded size",
         {0, 0, 0, 300},
         {10, 20, 110, 70},
         {0, 0, 800, 600},
         {10, 20, 110, 70}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.expected, sScalePageChild(row.recordedPage, row.child, row.newPage))
            << row.what;
    }
}

TEST(LayoutScale, ComboDropBottom) {
    struct Row {
        int top, bottom, factor, dropBottom;
    };
    for (const Row& row :
         {Row{100, 120, 4, 180}, Row{100, 120, 5, 200}, Row{100, 120, 1, 120}, Row{0, 21, 4, 84}}) {
        EXPECT_EQ(row.dropBottom, iComboDropBottom(row.top, row.bottom, row.factor)) << row.factor;
    }
}

TEST(LayoutScale, TabPageRectLeavesTheTabRowAndSideMargins) {
    EXPECT_EQ((CLayoutRect{2, 20, 878, 537}), sTabPageRect(880, 537, 20));
    EXPECT_EQ((CLayoutRect{2, 26, 2, 30}), sTabPageRect(4, 30, 26));
}

}  // namespace

namespace {

// Room is made at a short control's right edge: what lies at or right of that edge
// moves, a rectangle spanning it grows, what lies left of it stays.
TEST(LayoutScale, FitWidthsMovesEverythingRightOfAWidenedControl) {
    struct Row {
        const char* what;
        std::vector<CLayoutRect> rects;
        std::vector<int> needs;
        std::vector<CLayoutRect> fitted;
        int added;
    };
    const Row rows[] = {
        {"all fit",
         {{0, 0, 50, 10}, {60, 0, 90, 10}},
         {40, 30},
         {{0, 0, 50, 10}, {60, 0, 90, 10}},
         0},
        {"a label and the edit right of it",
         {{0, 0, 50, 10}, {50, 0, 90, 10}},
         {70, 0},
         {{0, 0, 70, 10}, {70, 0, 110, 10}},
         20},
        {"a group spanning the label grows, a control left of it stays",
         {{0, 0, 10, 10}, {10, 0, 100, 50}, {20, 5, 60, 15}},
         {0, 0, 55},
         {{0, 0, 10, 10}, {10, 0, 115, 50}, {20, 5, 75, 15}},
         15},
        {"two short controls on one edge: the larger shortfall",
         {{0, 0, 40, 10}, {10, 20, 40, 30}, {50, 0, 60, 30}},
         {50, 45},
         {{0, 0, 55, 10}, {10, 20, 55, 30}, {65, 0, 75, 30}},
         15},
        {"room made for a control widens the one after it too",
         {{0, 0, 30, 10}, {30, 0, 60, 10}},
         {40, 50},
         {{0, 0, 40, 10}, {40, 0, 90, 10}},
         30},
    };
    for (const Row& row : rows) {
        std::vector<CLayoutRect> rects = row.rects;
        EXPECT_EQ(row.added, iFitWidths(rects, row.needs)) << row.what;
        EXPECT_EQ(row.fitted, rects) << row.what;
    }
}

}  // namespace
