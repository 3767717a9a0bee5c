#pragma once

#include <QRect>
#include <QSize>
#include <QStringList>
#include <QTimer>
#include <QWidget>

class QListWidget;
class QSizeGrip;

// The drop-down list of an autocomplete edit (CACEdit): a borderless tool window that
// never takes the keyboard focus, so typing goes on in the edit while it is shown.
//
// It holds the item list (every text the owner added, in the order added) and shows
// all of them, sorted case-insensitively, directly below the control: as wide as the
// control and up to kVisibleRows rows high, with a scroll bar for more (after the
// operator has dragged the size grip, that size is kept instead). Hovering a row
// highlights it; a left click on a row takes it (sigItemTaken) and the list hides
// about 500 ms later; a right click hides it; a click beside the rows keeps it open.
// While shown it checks every 200 ms whether the control's window has moved or
// changed size, and hides when it has. Hiding clears the highlight and the scroll
// position. UI thread only.
class CACListWnd : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kVisibleRows = 8;
    static constexpr int kOwnerCheckMs = 200;
    static constexpr int kTakeHideMs = 500;
    static constexpr int kStartWidth = 200;
    static constexpr int kStartHeight = 180;

    // `control` is the edit (or combo box) the list belongs to; the list window is
    // destroyed with it.
    explicit CACListWnd(QWidget* control);

    void vAddItem(const QString& text);
    const QStringList& listItems() const { return m_items; }
    // The rows offered now, in the order shown.
    QStringList listVisible() const;

    // Rebuilds the rows from every item, sorted case-insensitively (items that compare
    // equal keep the order they were added in), and shows the list below the control.
    void vShowList();
    void vHideList();

    // Highlighted row, -1 for none, and its text (empty for none).
    int iHighlight() const;
    QString strHighlighted() const;

    // Moves the highlight for Up, Down, Page Up, Page Down, Home or End (Qt key
    // codes) and returns true; any other key returns false. Down and Page Down from no
    // highlight start at the first row.
    bool fgMoveHighlight(int key);

  signals:
    // A row was clicked with the left button; text is its item.
    void sigItemTaken(const QString& text);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void vPlaceBelowControl();
    int iRowHeight() const;
    void vCheckOwner();

    QWidget* m_pControl;
    QListWidget* m_pList;
    QSizeGrip* m_pGrip;
    QStringList m_items;
    QSize m_userSize;  // empty until the operator drags the grip
    bool m_fgGripDrag = false;
    QRect m_ownerRect;  // the control's window when the list was shown
    QTimer m_ownerCheck;
    QTimer m_takeHide;
};
