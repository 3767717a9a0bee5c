#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>
#include <atomic>
#include <cstdint>

#include "media/picture_mailbox.h"

// The video window of the live view page: paints the newest picture of the mailbox
// stretched over its whole area on a black ground. The decode thread only announces a
// picture (vPictureReady, any thread), which queues one repaint; the picture itself
// stays in the mailbox until the window paints and takes it. The back buffer is made
// again only when the picture size changes. A hidden window takes nothing.
//
// Mouse: a left drag reports its start and end (screen points) with sigDrag, a double
// click sigDoubleClicked, the context menu sigContextMenu. UI thread only, except
// vPictureReady.
class CVideoWnd : public QWidget {
    Q_OBJECT

  public:
    // mailbox outlives the window.
    CVideoWnd(QWidget* parent, CPictureMailbox& mailbox);

    // Any thread: a new picture is in the mailbox. At most one repaint is queued at a
    // time; the decode thread never waits for the window.
    void vPictureReady();

    // Forgets the picture shown: the window is black again.
    void vClearDisplay();

    // The size of the back buffer (empty before the first picture and after a clear)
    // and how often it was made.
    QSize sPictureSize() const { return m_backBuffer.size(); }
    int iBackBufferBuilds() const { return m_iBackBufferBuilds; }

  signals:
    void sigDrag(QPoint start, QPoint end);
    void sigDoubleClicked();
    void sigContextMenu(QPoint globalPos);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    // Takes a new picture from the mailbox into the back buffer, when there is one.
    void vTakePicture();

    CPictureMailbox& m_mailbox;
    SRgbPicture m_picture;  // the painter's buffer, swapped with the mailbox's
    QImage m_backBuffer;
    int m_iBackBufferBuilds = 0;
    std::atomic<bool> m_fgRepaintQueued{false};
    QPoint m_dragStart;
    bool m_fgDragging = false;
};
