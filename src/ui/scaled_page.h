#pragma once

#include <QPointer>
#include <QWidget>
#include <utility>
#include <vector>

#include "protocol/dev_info.h"
#include "ui/layout_scale.h"

// A widget's rectangle as the layout arithmetic takes it, and back.
CLayoutRect sToLayoutRect(const QRect& rect);
QRect sToQRect(const CLayoutRect& rect);

// Why the window asks a page to refresh: its tab was chosen, a device row was
// clicked while its tab is shown, or the delayed refresh 1.5 s after a row click.
enum class ETabRefresh { kTabChange, kRowClick, kDelayed };

// How the operator chose a device in the device list: a click on its row or a double
// click (which asks the live view to play it).
enum class EDevChoice { kRowClick, kDoubleClick };

// Base of the eight tab pages: the proportional layout every page applies to itself.
// A page records its own rectangle and each direct child's rectangle once
// (vRecordLayout, after it has built its controls) and from then on maps the
// recorded rectangles onto every new size (sScalePageChild), giving every child the
// page font of height trunc(15 x height ratio). Runs on the UI thread only.
class CScaledPage : public QWidget {
    Q_OBJECT

  public:
    // comboDropFactor: how many field heights a drop-down list gets below its field
    // (the live view page 4, the default configuration page 5, other pages 1).
    CScaledPage(QWidget* parent, int comboDropFactor);

    // Gives every direct child the page font (height 15) and widens those whose text
    // does not fit it (and the columns of its lists), keeping the arrangement: controls
    // right of a widened one move right (iFitToText). Call before vRecordLayout. Returns
    // the width the page needs to show every child.
    int iFitChildrenToText();

    // Gives every direct child the page font (height 15) and records the page's and
    // the children's current rectangles, replacing an earlier record.
    void vRecordLayout();

    // The next resize only clears this flag: the window sets it before it first moves
    // the pages into the tab area, so that move does not stretch the template layout.
    void vSkipNextResize() { m_fgSkipResize = true; }

    // The page's refresh when it is shown or the selected device changes. Pages that
    // show device data fill themselves here; the base shows nothing.
    virtual void vTabRefresh(ETabRefresh cause) { (void)cause; }

    // The operator chose a device in the list; devInfo is a copy of its record. The
    // live view page plays it (a double click) or follows it when already playing (a
    // click); the device info page shows it after a click; the base ignores it.
    virtual void vOnDeviceChosen(EDevChoice choice, const CDevInfo& devInfo) {
        (void)choice, (void)devInfo;
    }

    // Enter and Escape in the main window, which never close it: Enter goes to the page
    // whose tab is shown (a page applies what its focused field belongs to, or does
    // nothing); Escape always to the live view page.
    virtual void vOnEnterKey() {}
    virtual void vOnEscapeKey() {}

    // Gives the focus to the page's first field the operator types or picks in, in the
    // order the page made them; without one, to its first control that takes the focus.
    void vFocusFirstInput();

    // Recorded size of the page; empty until vRecordLayout.
    QSize sRecordedSize() const { return m_recordedSize; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void vApplyScale();

    int m_iComboDropFactor;
    bool m_fgSkipResize = false;
    QSize m_recordedSize;
    std::vector<std::pair<QPointer<QWidget>, CLayoutRect>> m_layoutTable;
};
