#include "ui/ui_helpers.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QTableWidget>

#include "app/atomic_file.h"
#include "app/dbg_print.h"
#include "app/translate.h"

namespace {
QString strTipsCaption() {
    return QString::fromStdString(strTranslate("TIPS"));
}

QTableWidgetItem* psTextItem(const std::string& text) {
    auto* item = new QTableWidgetItem(QString::fromStdString(text));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}
}  // namespace

int iMessageBoxTips(QWidget* owner, const QString& text) {
    const QMessageBox::StandardButton pressed = QMessageBox::information(
        owner, strTipsCaption(), text, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok);
    return pressed == QMessageBox::Ok ? kBoxOk : kBoxCancel;
}

void vMessageBoxTipsOk(QWidget* owner, const QString& text) {
    QMessageBox::information(owner, strTipsCaption(), text, QMessageBox::Ok);
}

void vShowTipsBox(QWidget* owner, const QString& text) {
    vShowBox(owner, strTipsCaption(), text);
}

void vShowBox(QWidget* owner, const QString& caption, const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Information, caption, text, QMessageBox::Ok, owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

int iListCtrlFill(QTableWidget& list, const std::vector<std::string>& rows) {
    list.setShowGrid(true);
    list.setSelectionBehavior(QAbstractItemView::SelectRows);
    list.setRowCount(0);
    for (const std::string& text : rows) {
        const int row = list.rowCount();
        list.insertRow(row);
        QTableWidgetItem* item = psTextItem(text);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        list.setItem(row, 0, item);
    }
    return 0;
}

int iListCtrlAddRow(QTableWidget& list, const std::vector<std::string>& values) {
    const int row = list.rowCount();
    list.insertRow(row);
    list.setItem(row, 0, psTextItem(std::to_string(row + 1)));
    int column = 1;
    for (const std::string& value : values) {
        if (column >= list.columnCount()) {
            break;
        }
        list.setItem(row, column, psTextItem(value));
        ++column;
    }
    return 0;
}

int iEXP_OpenFileManageGetFilePath(std::string& path, QWidget* owner) {
    QFileDialog dialog(owner, QStringLiteral("Open file"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // The one filter reads "*.*" and, as it does on the station's home platform,
    // matches every file, also those without an extension.
    dialog.setNameFilter(QStringLiteral("*.* (*)"));
    dialog.setDefaultSuffix(QStringLiteral("log"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        const std::string chosen = dialog.selectedFiles().constFirst().toStdString();
        if (!chosen.empty() && chosen.size() <= kMaxFilePathBytes) {
            path = chosen;
            return 0;
        }
    }
    vDbgPrint("camkit:%s, %d=>get file fail\r\n", "iEXP_OpenFileManageGetFilePath", __LINE__);
    return -1;
}

QString strChooseSavePath(QWidget* owner, const QString& caption, const QString& suggestedPath,
                          const QString& filter) {
    return QFileDialog::getSaveFileName(owner, caption, suggestedPath, filter);
}

bool fgWriteWholeFile(const QString& path, const QByteArray& bytes) {
    std::string error;
    if (fgWriteFileAtomic(
            path.toStdString(),
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), error)) {
        return true;
    }
    vDbgPrint("camkit:err:%s, %d=>%s\r\n", "fgWriteWholeFile", __LINE__, error.c_str());
    return false;
}
