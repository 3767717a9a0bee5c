#pragma once

#include <QDialog>
#include <string>

#include "codec/qr/qr_bitmap.h"

class QLabel;

// "Preview QR code": shows a device's UID as a QR code so that a label can be compared
// with the device or scanned with a phone. The picture comes in memory, as the encoder
// drew it (no file is written), and is shown at its natural size in the middle of the
// dialog, with the UID as the title. When the UID could not be encoded, the dialog
// says why (the character that does not fit the code's alphabet, or the length)
// instead of showing an empty area. UI thread only.
class CDlgQRcode : public QDialog {
    Q_OBJECT

  public:
    // uid: the device's UID, as received (shown as UTF-8, bytes that do not decode
    // replaced). bitmap: sMakeQrBitmap(uid), the picture or the reason there is none.
    CDlgQRcode(const std::string& uid, const CQrBitmap& bitmap, QWidget* owner);

    // The area that holds the picture, or the reason when there is none.
    const QLabel* pPicture() const { return m_pPicture; }
    bool fgHasPicture() const { return m_fgHasPicture; }

  private:
    QLabel* m_pPicture;
    bool m_fgHasPicture = false;
};
