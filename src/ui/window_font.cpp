#include "ui/window_font.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QStringList>
#include <algorithm>

namespace {
constexpr int kTemplatePointSize = 9;

// The dialog family of the station's home platform where it is installed; elsewhere
// the application's family, narrowed so that captions laid out for it still fit.
QFont sDialogFamilyFont() {
    QFont font = QApplication::font();
    QStringList families{QStringLiteral("MS Shell Dlg 2"), QStringLiteral("Tahoma")};
    families.append(font.families().isEmpty() ? QStringList{font.family()} : font.families());
    font.setFamilies(families);
    if (!QFontInfo(font).family().startsWith(QLatin1String("Tahoma"), Qt::CaseInsensitive)) {
        font.setStretch(QFont::SemiCondensed);
    }
    return font;
}
}  // namespace

QFont sWindowFont(int cellHeight) {
    if (cellHeight <= 0) {
        return QApplication::font();
    }
    QFont font = sDialogFamilyFont();
    font.setWeight(QFont::Normal);
    // The line height grows with the pixel size, a little faster than one to one:
    // step down from cellHeight until the line fits.
    for (int pixelSize = cellHeight; pixelSize > 1; --pixelSize) {
        font.setPixelSize(pixelSize);
        if (QFontMetrics(font).height() <= cellHeight) {
            return font;
        }
    }
    font.setPixelSize(1);
    return font;
}

CDialogUnits sTemplateUnits() {
    const QFontMetrics metrics(sTemplateFont());
    const CDialogUnits units = sDialogUnitsFromFont(
        metrics.horizontalAdvance(
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")),
        metrics.height());
    return CDialogUnits{units.m_iBaseX, std::min(units.m_iBaseY, kMaxTemplateBaseY)};
}

QFont sTemplateFont() {
    QFont font = QApplication::font();
    font.setPointSize(kTemplatePointSize);
    font.setWeight(QFont::Normal);
    return font;
}
