#include "ui/video_wnd.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cstring>

CVideoWnd::CVideoWnd(QWidget* parent, CPictureMailbox& mailbox)
    : QWidget(parent), m_mailbox(mailbox) {
    // Every pixel is painted by paintEvent: no background fill by Qt first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CVideoWnd::vPictureReady() {
    if (m_fgRepaintQueued.exchange(true)) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_fgRepaintQueued = false;
            if (isVisible()) {
                update();
            }
        },
        Qt::QueuedConnection);
}

void CVideoWnd::vClearDisplay() {
    m_backBuffer = QImage();
    update();
}

void CVideoWnd::vTakePicture() {
    if (!m_mailbox.fgTake(m_picture) || m_picture.iWidth <= 0 || m_picture.iHeight <= 0) {
        return;
    }
    const auto rowBytes = static_cast<std::size_t>(m_picture.iWidth) * 4;
    if (m_picture.rgb.size() < rowBytes * static_cast<std::size_t>(m_picture.iHeight)) {
        return;
    }
    const QSize size(m_picture.iWidth, m_picture.iHeight);
    if (m_backBuffer.size() != size) {
        m_backBuffer = QImage(size, QImage::Format_RGBX8888);
        ++m_iBackBufferBuilds;
    }
    // The picture's bytes are R, G, B, 255: the buffer's own format.
    for (int row = 0; row < m_picture.iHeight; ++row) {
        std::memcpy(m_backBuffer.scanLine(row),
                    m_picture.rgb.data() + static_cast<std::size_t>(row) * rowBytes, rowBytes);
    }
}

void CVideoWnd::paintEvent(QPaintEvent* /*event*/) {
    vTakePicture();
    QPainter painter(this);
    if (m_backBuffer.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    painter.drawImage(rect(), m_backBuffer);
}

void CVideoWnd::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_dragStart = event->globalPosition().toPoint();
        m_fgDragging = true;
    }
    QWidget::mousePressEvent(event);
}

void CVideoWnd::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_fgDragging) {
        m_fgDragging = false;
        emit sigDrag(m_dragStart, event->globalPosition().toPoint());
    }
    QWidget::mouseReleaseEvent(event);
}

void CVideoWnd::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        // The press of a double click starts no drag.
        m_fgDragging = false;
        emit sigDoubleClicked();
    }
}

void CVideoWnd::contextMenuEvent(QContextMenuEvent* event) {
    emit sigContextMenu(event->globalPos());
}
