#pragma once

#include <QDialog>

// The About box: the program's name and version and one "OK" button.
class CAboutDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CAboutDlg(QWidget* parent);
};

// The window caption: the translation of "Kestrel", one blank and the version
// ("Kestrel 3.0.0.17" without a translation).
QString strMainCaption();
