#include "ui/text_fit.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <algorithm>
#include <cstddef>

#include "ui/layout_scale.h"

namespace {
// Room a group box keeps left and right of its title.
constexpr int kGroupTitleMargin = 10;
// A pixel or two the styles draw beyond what they report.
constexpr int kSlackPx = 2;

QString strWithoutMnemonic(QString text) {
    return text.remove(QLatin1Char('&'));
}
}  // namespace

int iCaptionWidth(const QWidget& control) {
    const QFontMetrics metrics = control.fontMetrics();
    const QStyle& style = *control.style();
    if (const auto* label = qobject_cast<const QLabel*>(&control)) {
        if (label->wordWrap() || label->text().isEmpty()) {
            return 0;
        }
        return metrics.horizontalAdvance(label->text()) + 2 * label->frameWidth() +
               2 * label->margin() + std::max(0, label->indent()) + kSlackPx;
    }
    if (const auto* check = qobject_cast<const QCheckBox*>(&control)) {
        return check->text().isEmpty() ? 0 : check->sizeHint().width() + kSlackPx;
    }
    if (const auto* button = qobject_cast<const QPushButton*>(&control)) {
        if (button->text().isEmpty()) {
            return 0;
        }
        return metrics.horizontalAdvance(strWithoutMnemonic(button->text())) +
               style.pixelMetric(QStyle::PM_ButtonMargin, nullptr, &control) +
               2 * style.pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &control) + kSlackPx;
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(&control)) {
        return group->title().isEmpty()
                   ? 0
                   : metrics.horizontalAdvance(group->title()) + 2 * kGroupTitleMargin;
    }
    return 0;
}

int iFitToText(const std::vector<QWidget*>& controls, const std::vector<int>& extraNeeds) {
    std::vector<CLayoutRect> rects;
    std::vector<int> needs;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const QRect geometry = controls[i]->geometry();
        rects.push_back(CLayoutRect{geometry.left(), geometry.top(),
                                    geometry.left() + geometry.width(),
                                    geometry.top() + geometry.height()});
        const int extra = i < extraNeeds.size() ? extraNeeds[i] : 0;
        needs.push_back(std::max(iCaptionWidth(*controls[i]), extra));
    }
    const int added = iFitWidths(rects, needs);
    for (std::size_t i = 0; i < controls.size(); ++i) {
        // A caption is a line of the font high at least, about the template's centre.
        const int lineHeight = controls[i]->fontMetrics().height();
        if (iCaptionWidth(*controls[i]) > 0 && rects[i].iHeight() < lineHeight) {
            const int centre2 = rects[i].m_iTop + rects[i].m_iBottom;
            rects[i].m_iTop = (centre2 - lineHeight) / 2;
            rects[i].m_iBottom = rects[i].m_iTop + lineHeight;
        }
        controls[i]->setGeometry(rects[i].m_iLeft, rects[i].m_iTop, rects[i].iWidth(),
                                 rects[i].iHeight());
    }
    return added;
}

void vFitHeaderSections(QTableView& view) {
    QHeaderView& header = *view.horizontalHeader();
    if (view.model() == nullptr) {
        return;
    }
    const int margin = 2 * header.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, &header);
    for (int column = 0; column < view.model()->columnCount(); ++column) {
        const QString text = view.model()->headerData(column, Qt::Horizontal).toString();
        const int needed = header.fontMetrics().horizontalAdvance(text) + margin + kSlackPx;
        if (view.columnWidth(column) < needed) {
            view.setColumnWidth(column, needed);
        }
    }
}
