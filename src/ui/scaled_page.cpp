#include "ui/scaled_page.h"

#include <QAbstractItemView>
#include <QComboBox>

#include "ui/window_font.h"

namespace {
CLayoutRect sToLayoutRect(const QRect& rect) {
    return CLayoutRect{rect.left(), rect.top(), rect.left() + rect.width(),
                       rect.top() + rect.height()};
}

QRect sToQRect(const CLayoutRect& rect) {
    return QRect(rect.m_iLeft, rect.m_iTop, rect.iWidth(), rect.iHeight());
}
}  // namespace

CScaledPage::CScaledPage(QWidget* parent, int comboDropFactor)
    : QWidget(parent), m_iComboDropFactor(comboDropFactor) {}

void CScaledPage::vRecordLayout() {
    const QFont pageFont = sWindowFont(kStartFontHeight);
    m_layoutTable.clear();
    m_recordedSize = size();
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        child->setFont(pageFont);
        m_layoutTable.emplace_back(child, sToLayoutRect(child->geometry()));
    }
}

void CScaledPage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_fgSkipResize) {
        m_fgSkipResize = false;
        return;
    }
    if (!m_recordedSize.isEmpty()) {
        vApplyScale();
    }
}

void CScaledPage::vApplyScale() {
    const CLayoutRect recordedPage{0, 0, m_recordedSize.width(), m_recordedSize.height()};
    const CLayoutRect newPage{0, 0, width(), height()};
    const double ratioY = static_cast<double>(height()) / m_recordedSize.height();
    const QFont pageFont = sWindowFont(iPageFontHeight(ratioY));
    for (const auto& [child, recorded] : m_layoutTable) {
        if (child.isNull()) {
            continue;
        }
        child->setFont(pageFont);
        const CLayoutRect mapped = sScalePageChild(recordedPage, recorded, newPage);
        child->setGeometry(sToQRect(mapped));
        // A closed drop-down keeps the field it was given; its list gets the extra
        // field heights as the least room it opens with.
        if (auto* combo = qobject_cast<QComboBox*>(child.data()); combo != nullptr) {
            if (m_iComboDropFactor > 1) {
                const int dropBottom =
                    iComboDropBottom(mapped.m_iTop, mapped.m_iBottom, m_iComboDropFactor);
                combo->view()->setMinimumHeight(dropBottom - mapped.m_iBottom);
            }
        }
    }
}
