#include "ui/ac_list_wnd.h"

#include <QListWidget>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSizeGrip>
#include <algorithm>

CACListWnd::CACListWnd(QWidget* control)
    : QWidget(control, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus),
      m_pControl(control),
      m_pList(new QListWidget(this)),
      m_pGrip(new QSizeGrip(this)) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    m_pList->setFocusPolicy(Qt::NoFocus);
    m_pList->setMouseTracking(true);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    m_pList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pList->viewport()->installEventFilter(this);
    m_pGrip->installEventFilter(this);
    resize(kStartWidth, kStartHeight);
    move(control->mapToGlobal(QPoint(0, 0)));

    connect(m_pList, &QListWidget::itemEntered, this,
            [this](QListWidgetItem* item) { m_pList->setCurrentItem(item); });
    connect(m_pList, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        emit sigItemTaken(item->text());
        m_takeHide.start();
    });
    m_ownerCheck.setInterval(kOwnerCheckMs);
    connect(&m_ownerCheck, &QTimer::timeout, this, &CACListWnd::vCheckOwner);
    m_takeHide.setSingleShot(true);
    m_takeHide.setInterval(kTakeHideMs);
    connect(&m_takeHide, &QTimer::timeout, this, &CACListWnd::vHideList);
}

void CACListWnd::vAddItem(const QString& text) {
    m_items.append(text);
}

QStringList CACListWnd::listVisible() const {
    QStringList rows;
    for (int row = 0; row < m_pList->count(); ++row) {
        rows.append(m_pList->item(row)->text());
    }
    return rows;
}

void CACListWnd::vShowList() {
    QStringList sorted = m_items;
    std::stable_sort(sorted.begin(), sorted.end(), [](const QString& left, const QString& right) {
        return QString::compare(left, right, Qt::CaseInsensitive) < 0;
    });
    m_takeHide.stop();
    m_pList->clear();
    m_pList->addItems(sorted);
    m_pList->setCurrentRow(-1);
    m_pList->clearSelection();
    vPlaceBelowControl();
    show();
    raise();
    m_ownerRect = m_pControl->window()->geometry();
    m_ownerCheck.start();
}

void CACListWnd::vHideList() {
    m_ownerCheck.stop();
    m_takeHide.stop();
    hide();
    m_pList->setCurrentRow(-1);
    m_pList->clearSelection();
    m_pList->verticalScrollBar()->setValue(0);
}

int CACListWnd::iHighlight() const {
    return m_pList->currentRow();
}

QString CACListWnd::strHighlighted() const {
    const QListWidgetItem* item = m_pList->currentItem();
    return item != nullptr ? item->text() : QString();
}

bool CACListWnd::fgMoveHighlight(int key) {
    const int count = m_pList->count();
    if (count == 0) {
        return false;
    }
    const int current = m_pList->currentRow();
    const int page = std::min(count, kVisibleRows);
    int next = current;
    switch (key) {
        case Qt::Key_Down:
            next = current + 1;
            break;
        case Qt::Key_Up:
            next = current - 1;
            break;
        case Qt::Key_PageDown:
            next = current < 0 ? page - 1 : current + page;
            break;
        case Qt::Key_PageUp:
            next = current - page;
            break;
        case Qt::Key_Home:
            next = 0;
            break;
        case Qt::Key_End:
            next = count - 1;
            break;
        default:
            return false;
    }
    next = std::clamp(next, 0, count - 1);
    m_pList->setCurrentRow(next);
    m_pList->scrollToItem(m_pList->item(next));
    return true;
}

bool CACListWnd::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pList->viewport() && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        vHideList();
        return true;
    }
    if (watched == m_pGrip) {
        if (event->type() == QEvent::MouseButtonPress) {
            m_fgGripDrag = true;
        } else if (event->type() == QEvent::MouseButtonRelease && m_fgGripDrag) {
            m_fgGripDrag = false;
            m_userSize = size();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CACListWnd::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_pList->setGeometry(rect());
    const QSize grip = m_pGrip->sizeHint();
    m_pGrip->setGeometry(width() - grip.width(), height() - grip.height(), grip.width(),
                         grip.height());
    m_pGrip->raise();
}

void CACListWnd::vPlaceBelowControl() {
    QSize wanted = m_userSize;
    if (wanted.isEmpty()) {
        const int rows = std::max(1, std::min(static_cast<int>(m_pList->count()), kVisibleRows));
        wanted = QSize(m_pControl->width(), rows * iRowHeight() + 2 * m_pList->frameWidth());
    }
    setGeometry(QRect(m_pControl->mapToGlobal(QPoint(0, m_pControl->height())), wanted));
}

int CACListWnd::iRowHeight() const {
    const int hinted = m_pList->count() > 0 ? m_pList->sizeHintForRow(0) : -1;
    return hinted > 0 ? hinted : m_pList->fontMetrics().height();
}

void CACListWnd::vCheckOwner() {
    if (m_pControl->window()->geometry() != m_ownerRect) {
        vHideList();
    }
}
