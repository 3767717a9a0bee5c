#pragma once

// What the device pages share: where the template puts a control, how a number is read
// from an edit, and the checks every button runs before its request leaves.

#include <QRect>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>

#include "protocol/requests.h"

class CStation;
class QWidget;

// Where the page template puts a control, in dialog units, as pixels.
QRect sPageTemplateRect(int x, int y, int w, int h);

// The number an edit holds, read as the device pages read them: the first `roomChars`
// characters of text, leading blanks skipped, an optional sign, then the decimal
// digits up to the first other character (none: 0). Callers keep the low bits their
// field holds, so 300 in a byte field is 44.
std::int64_t iEditNumber(const QString& text, int roomChars);

// What every page button runs before its request leaves: without a selected device (or
// without a station) the box "Please choose a device" over owner; otherwise the login
// check of the selected device. The device's address text when it answered; nullopt
// otherwise.
std::optional<std::string> sLoggedInSelection(QWidget* owner, CStation* station);

// The request of a page button: sLoggedInSelection, then the request to that device.
// True when the request left.
bool fgSendToSelectedDev(QWidget* owner, CStation* station, const CmdBytes& request);
