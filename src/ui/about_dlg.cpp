#include "ui/about_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/translate.h"

QString strMainCaption() {
    return QString::fromStdString(strTranslate("Kestrel")) + QLatin1Char(' ') +
           QStringLiteral(KESTREL_VERSION_TEXT);
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromStdString(strTranslate("About")) + QLatin1Char(' ') +
                   QString::fromStdString(strTranslate("Kestrel")));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(strMainCaption(), this));
    auto* buttons = new QHBoxLayout();
    buttons->addStretch();
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(ok);
    layout->addLayout(buttons);
}
