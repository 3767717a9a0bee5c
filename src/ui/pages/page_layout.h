#pragma once

#include <QFontMetrics>
#include <QRect>
#include <QString>

#include "ui/layout_scale.h"
#include "ui/window_font.h"

// Where a page's template puts a control, in dialog units, as pixels.
inline QRect sPageTemplateRect(int x, int y, int w, int h) {
    const QFontMetrics metrics(sTemplateFont());
    const CDialogUnits units = sDialogUnitsFromFont(
        metrics.horizontalAdvance(
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")),
        metrics.height());
    const CLayoutRect rect = sDialogRectToPixels(x, y, w, h, units);
    return QRect(rect.m_iLeft, rect.m_iTop, rect.iWidth(), rect.iHeight());
}
