#include "ui/pages/page_support.h"

#include <QFontMetrics>
#include <string>

#include "protocol/station.h"
#include "ui/dialog_text.h"
#include "ui/layout_scale.h"
#include "ui/window_font.h"

QRect sPageTemplateRect(int x, int y, int w, int h) {
    const CLayoutRect rect = sDialogRectToPixels(x, y, w, h, sTemplateUnits());
    return QRect(rect.m_iLeft, rect.m_iTop, rect.iWidth(), rect.iHeight());
}

std::int64_t iEditNumber(const QString& text, int roomChars) {
    const QString head = text.left(roomChars);
    qsizetype at = 0;
    // The C blanks: space, tab, line feed, vertical tab, form feed, carriage return.
    while (at < head.size() &&
           (head.at(at) == QLatin1Char(' ') ||
            (head.at(at) >= QLatin1Char('\t') && head.at(at) <= QLatin1Char('\r')))) {
        ++at;
    }
    bool negative = false;
    if (at < head.size() && (head.at(at) == QLatin1Char('-') || head.at(at) == QLatin1Char('+'))) {
        negative = head.at(at) == QLatin1Char('-');
        ++at;
    }
    // At most roomChars digits: far below the range of the result.
    std::int64_t value = 0;
    for (; at < head.size() && head.at(at) >= QLatin1Char('0') && head.at(at) <= QLatin1Char('9');
         ++at) {
        value = value * 10 + (head.at(at).unicode() - u'0');
    }
    return negative ? -value : value;
}

std::optional<std::string> sLoggedInSelection(QWidget* owner, CStation* station) {
    if (station == nullptr || station->registry().iListSelect() == -1) {
        vShowChooseDevice(owner);
        return std::nullopt;
    }
    std::string ip;
    if (!station->fgSelectDevIsLogin(&ip)) {
        return std::nullopt;
    }
    return ip;
}

bool fgSendToSelectedDev(QWidget* owner, CStation* station, const CmdBytes& request) {
    const std::optional<std::string> ip = sLoggedInSelection(owner, station);
    return ip && station->fgSendToDev(*ip, request);
}
