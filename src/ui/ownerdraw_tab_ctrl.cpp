#include "ui/ownerdraw_tab_ctrl.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

namespace {
constexpr int kMinTabRowHeight = 20;
constexpr int kTabTextPadding = 16;
// The text rectangle starts this far above the tab, which lifts the centred line.
constexpr int kTextRaise = 5;

const QColor kSelectedBackground(125, 125, 125);
const QColor kDisabledBackground(0, 255, 0);
const QColor kDisabledText(128, 128, 128);
}  // namespace

CTabColours sTabColours(ETabState state, const QPalette& palette) {
    switch (state) {
        case ETabState::Selected:
            return CTabColours{kSelectedBackground, Qt::white};
        case ETabState::Disabled:
            return CTabColours{kDisabledBackground, kDisabledText};
        case ETabState::Normal:
            break;
    }
    return CTabColours{palette.color(QPalette::Active, QPalette::Button),
                       palette.color(QPalette::Active, QPalette::WindowText)};
}

COwnerdrawTabBar::COwnerdrawTabBar(QWidget* parent) : QTabBar(parent) {
    setExpanding(false);
    setDrawBase(false);
    setUsesScrollButtons(true);
}

int COwnerdrawTabBar::iRowHeight() const {
    return std::max(kMinTabRowHeight, fontMetrics().height() + 4);
}

int COwnerdrawTabBar::iLeastRowWidth() const {
    int total = 0;
    for (int i = 0; i < count(); ++i) {
        total += fontMetrics().horizontalAdvance(tabText(i)) + kTabTextPadding;
    }
    return total;
}

QSize COwnerdrawTabBar::tabSizeHint(int index) const {
    int widest = 0;
    for (int i = 0; i < count(); ++i) {
        widest = std::max(widest, fontMetrics().horizontalAdvance(tabText(i)));
    }
    const int room = parentWidget() != nullptr ? parentWidget()->width() : width();
    const int equalWidth = widest + kTabTextPadding;
    if (equalWidth * count() <= room) {
        return QSize(equalWidth, iRowHeight());
    }
    return QSize(fontMetrics().horizontalAdvance(tabText(index)) + kTabTextPadding, iRowHeight());
}

void COwnerdrawTabBar::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    for (int i = 0; i < count(); ++i) {
        const QRect tab = tabRect(i);
        ETabState state = ETabState::Normal;
        if (!isTabEnabled(i)) {
            state = ETabState::Disabled;
        } else if (i == currentIndex()) {
            state = ETabState::Selected;
        }
        const CTabColours colours = sTabColours(state, palette());
        painter.fillRect(tab, colours.m_background);
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(tab.adjusted(0, 0, -1, -1));

        QRect textRect = tab.adjusted(0, -kTextRaise, 0, 0);
        const QIcon icon = tabIcon(i);
        if (!icon.isNull()) {
            const int indent = fontMetrics().horizontalAdvance(QLatin1Char(' '));
            const QSize iconSize = this->iconSize();
            const QRect iconRect(tab.left() + indent, tab.center().y() - iconSize.height() / 2,
                                 iconSize.width(), iconSize.height());
            icon.paint(&painter, iconRect);
            textRect.setLeft(iconRect.right() + 1);
        }
        painter.setPen(colours.m_text);
        painter.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine, tabText(i));
    }
}

COwnerdrawTabCtrl::COwnerdrawTabCtrl(QWidget* parent)
    : QWidget(parent), m_pTabBar(new COwnerdrawTabBar(this)) {
    connect(m_pTabBar, &QTabBar::currentChanged, this, &COwnerdrawTabCtrl::sigSelChange);
}

int COwnerdrawTabCtrl::iInsertItem(const QString& text) {
    const int index = m_pTabBar->addTab(text);
    vPlaceTabBar();
    return index;
}

QRect COwnerdrawTabCtrl::rectPage() const {
    const CLayoutRect page = sTabPageRect(width(), height(), m_pTabBar->iRowHeight());
    return QRect(page.m_iLeft, page.m_iTop, std::max(0, page.iWidth()),
                 std::max(0, page.iHeight()));
}

void COwnerdrawTabCtrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    vPlaceTabBar();
}

void COwnerdrawTabCtrl::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        vPlaceTabBar();
    }
}

void COwnerdrawTabCtrl::vPlaceTabBar() {
    m_pTabBar->setGeometry(0, 0, width(), m_pTabBar->iRowHeight());
}
