#include "ui/scaled_page.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>
#include <algorithm>
#include <vector>

#include "ui/text_fit.h"
#include "ui/window_font.h"

namespace {
// Room a page keeps right of its rightmost control.
constexpr int kPageMarginPx = 6;
}  // namespace

CLayoutRect sToLayoutRect(const QRect& rect) {
    return CLayoutRect{rect.left(), rect.top(), rect.left() + rect.width(),
                       rect.top() + rect.height()};
}

QRect sToQRect(const CLayoutRect& rect) {
    return QRect(rect.m_iLeft, rect.m_iTop, rect.iWidth(), rect.iHeight());
}

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

int CScaledPage::iFitChildrenToText() {
    const QFont pageFont = sWindowFont(kStartFontHeight);
    const QList<QWidget*> children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        child->setFont(pageFont);
    }
    iFitToText(std::vector<QWidget*>(children.begin(), children.end()));
    int right = 0;
    for (QWidget* child : children) {
        if (auto* view = qobject_cast<QTableView*>(child); view != nullptr) {
            vFitHeaderSections(*view);
        }
        if (!child->isHidden()) {
            right = std::max(right, child->geometry().left() + child->geometry().width());
        }
    }
    return right + kPageMarginPx;
}

void CScaledPage::vFocusFirstInput() {
    QWidget* firstFocusable = nullptr;
    for (QWidget* child : findChildren<QWidget*>()) {
        if (!child->isEnabled() || !child->isVisibleTo(this) ||
            (child->focusPolicy() & Qt::TabFocus) == 0) {
            continue;
        }
        const auto* text = qobject_cast<QPlainTextEdit*>(child);
        if (qobject_cast<QLineEdit*>(child) != nullptr ||
            qobject_cast<QComboBox*>(child) != nullptr ||
            qobject_cast<QAbstractSpinBox*>(child) != nullptr ||
            (text != nullptr && !text->isReadOnly())) {
            child->setFocus(Qt::TabFocusReason);
            return;
        }
        if (firstFocusable == nullptr) {
            firstFocusable = child;
        }
    }
    if (firstFocusable != nullptr) {
        firstFocusable->setFocus(Qt::TabFocusReason);
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
