#pragma once

#include <QString>

#include "app/translate.h"
#include "ui/ui_helpers.h"

// Texts of the small dialogs and pages: the translation of an English key.
inline QString strTrKey(const char* key) {
    return QString::fromStdString(strTranslate(key));
}

// The refusal of a command while no device is selected.
inline void vShowChooseDevice(QWidget* owner) {
    vMessageBoxTipsOk(owner, strTrKey("Please choose a device"));
}
