#include "ui/dlg_qrcode.h"

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include "app/log.h"
#include "ui/dialog_text.h"

namespace {
constexpr int kMarginPx = 28;  // around the picture, beside the code's own quiet zone
}

CDlgQRcode::CDlgQRcode(const std::string& uid, const CQrBitmap& bitmap, QWidget* owner)
    : QDialog(owner), m_pPicture(new QLabel(this)) {
    setWindowTitle(QString::fromStdString(uid));
    m_pPicture->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMarginPx, kMarginPx, kMarginPx, kMarginPx);
    layout->addWidget(m_pPicture, 0, Qt::AlignCenter);

    QImage picture;
    if (!bitmap.m_bmp.empty()) {
        picture.loadFromData(bitmap.m_bmp.data(), static_cast<int>(bitmap.m_bmp.size()), "BMP");
    }
    if (picture.isNull()) {
        KLOG_ERR("null");
        m_pPicture->setWordWrap(true);
        m_pPicture->setText(strTrKey("This UID cannot be shown as a QR code:") + "\n" +
                            QString::fromStdString(bitmap.m_strError));
        setMinimumWidth(kQrBmpSide + 2 * kMarginPx);
        return;
    }
    m_pPicture->setPixmap(QPixmap::fromImage(picture));
    m_pPicture->setFixedSize(picture.size());
    m_fgHasPicture = true;
}
