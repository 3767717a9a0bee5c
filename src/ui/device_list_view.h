#pragma once

#include <QTableView>

class CDevListModel;

// The device list control: a report view over CDevListModel with grid lines, check
// boxes and whole-row selection. It reports the operator's mouse actions by row and
// decides nothing itself:
//   - sigRowClicked(row): a left click on a row outside its check box, or on empty
//     space (row -1); a click on a check box is reported by the model instead;
//   - sigRowDoubleClicked(row): a double click (row -1 on empty space);
//   - sigRowRightClicked(row, globalPos): the context menu request on a row;
//   - sigHeaderClicked(column): a click on a column header.
class CDevListView : public QTableView {
    Q_OBJECT

  public:
    CDevListView(QWidget* parent, CDevListModel* model);

    // Shows `row` as the selected row (-1 clears the highlight) without a signal.
    void vShowSelectedRow(int row);

    // Width of the "ID" column: 40 px, or as much more as the check box and a
    // three-digit row number need in the list's current font and style. The column and
    // the row height follow every change of the font.
    int iIdColumnWidth() const;
    // Width of the UID column: twenty characters of a UID in the list's font.
    int iUidColumnWidth() const;

  signals:
    void sigRowClicked(int row);
    void sigRowDoubleClicked(int row);
    void sigRowRightClicked(int row, QPoint globalPos);
    void sigHeaderClicked(int column);

  protected:
    void changeEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    bool m_fgCheckClicked = false;  // the release being handled toggled a check box
};

// The Wi-Fi list control: networks seen by the selected device, columns "Serial
// Number", "WIFI", "Intensity", "encryption", "Reserved"; its rows follow the font.
class CWifiListView : public QTableView {
    Q_OBJECT

  public:
    explicit CWifiListView(QWidget* parent);

    // Appends a row: the row count before the insert, the SSID, its intensity and
    // encryption type; the last column stays empty.
    void vAddRow(const QString& ssid, int intensity, int encryption);
    void vClear();
    int iRowCount() const;
    // The text of a cell, empty outside the list.
    QString strCell(int row, int column) const;

  signals:
    void sigRowRightClicked(int row, QPoint globalPos);
    void sigRowDoubleClicked(int row);

  protected:
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};
