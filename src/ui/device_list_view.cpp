#include "ui/device_list_view.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QStandardItemModel>
#include <QStyle>
#include <algorithm>

#include "app/translate.h"
#include "ui/device_list_model.h"

namespace {
constexpr int kRowPaddingPx = 4;
constexpr int kUidShownChars = 20;
constexpr int kSsidShownChars = 32;

// Rows as high as a line of the list's font, after every change of the font.
void vFitRowsToFont(QTableView& view) {
    view.verticalHeader()->setDefaultSectionSize(view.fontMetrics().height() + kRowPaddingPx);
}

// The extended styles both lists share: grid lines, check boxes, whole-row selection.
void vSetListStyles(QTableView& view) {
    view.setShowGrid(true);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.setSelectionMode(QAbstractItemView::SingleSelection);
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
    view.verticalHeader()->hide();
    vFitRowsToFont(view);
    view.horizontalHeader()->setHighlightSections(false);
    view.horizontalHeader()->setStretchLastSection(false);
    view.setWordWrap(false);
    // Narrow columns show as much of their text as fits, as the list always did.
    view.setTextElideMode(Qt::ElideNone);
}

constexpr int kWifiColumns = 5;
constexpr int kWifiColumnSsid = 1;
constexpr int kWifiColumnWidths[kWifiColumns] = {50, 100, 50, 50, 50};
}  // namespace

CDevListView::CDevListView(QWidget* parent, CDevListModel* model) : QTableView(parent) {
    setModel(model);
    vSetListStyles(*this);
    for (int column = 0; column < CDevListModel::kColCount; ++column) {
        setColumnWidth(column, CDevListModel::iColumnWidth(column));
    }
    setColumnWidth(CDevListModel::kColId, iIdColumnWidth());
    setColumnWidth(CDevListModel::kColUid, iUidColumnWidth());
    horizontalHeader()->setSectionsClickable(true);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
            &CDevListView::sigHeaderClicked);
    connect(model, &CDevListModel::sigCheckClicked, this, [this] { m_fgCheckClicked = true; });
}

void CDevListView::vShowSelectedRow(int row) {
    const QSignalBlocker blocker(selectionModel());
    if (row < 0 || row >= model()->rowCount()) {
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex cell = model()->index(row, 0);
    selectionModel()->setCurrentIndex(
        cell, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    viewport()->update();
}

int CDevListView::iIdColumnWidth() const {
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.features |= QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.checkState = Qt::Checked;
    option.text = QStringLiteral("000");
    const QSize needed = style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this);
    // The grid line takes the last pixel of every cell.
    const int gridPx = showGrid() ? 1 : 0;
    return std::max(CDevListModel::iColumnWidth(CDevListModel::kColId), needed.width() + gridPx);
}

int CDevListView::iUidColumnWidth() const {
    // A UID's characters are capitals and digits: twenty of their average width.
    const QString sample = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    const auto characters = static_cast<int>(sample.size());
    const int average = (fontMetrics().horizontalAdvance(sample) + characters - 1) / characters;
    const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
    return std::max(CDevListModel::iColumnWidth(CDevListModel::kColUid),
                    average * kUidShownChars + margin + 1);
}

void CDevListView::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        vFitRowsToFont(*this);
        setColumnWidth(CDevListModel::kColId, iIdColumnWidth());
        setColumnWidth(CDevListModel::kColUid, iUidColumnWidth());
    }
}

void CDevListView::mouseReleaseEvent(QMouseEvent* event) {
    const QModelIndex cell = indexAt(event->position().toPoint());
    const bool leftButton = event->button() == Qt::LeftButton;
    // A release on a check box toggles it through the model, which tells the window;
    // only a release elsewhere is a row click.
    m_fgCheckClicked = false;
    QTableView::mouseReleaseEvent(event);
    if (leftButton && !m_fgCheckClicked) {
        emit sigRowClicked(cell.isValid() ? cell.row() : -1);
    }
}

void CDevListView::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex cell = indexAt(event->position().toPoint());
    QTableView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        emit sigRowDoubleClicked(cell.isValid() ? cell.row() : -1);
    }
}

void CDevListView::contextMenuEvent(QContextMenuEvent* event) {
    const QModelIndex cell = indexAt(event->pos());
    if (cell.isValid()) {
        emit sigRowRightClicked(cell.row(), event->globalPos());
    }
}

CWifiListView::CWifiListView(QWidget* parent) : QTableView(parent) {
    auto* model = new QStandardItemModel(0, kWifiColumns, this);
    model->setHorizontalHeaderLabels({QString::fromStdString(strTranslate("Serial Number")),
                                      QStringLiteral("WIFI"),
                                      QString::fromStdString(strTranslate("Intensity")),
                                      QString::fromStdString(strTranslate("encryption")),
                                      QString::fromStdString(strTranslate("Reserved"))});
    setModel(model);
    vSetListStyles(*this);
    for (int column = 0; column < kWifiColumns; ++column) {
        setColumnWidth(column, kWifiColumnWidths[column]);
    }
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& cell) { emit sigRowDoubleClicked(cell.row()); });
}

void CWifiListView::vAddRow(const QString& ssid, int intensity, int encryption) {
    auto* model = qobject_cast<QStandardItemModel*>(this->model());
    const int before = model->rowCount();
    model->appendRow({new QStandardItem(QString::number(before)), new QStandardItem(ssid),
                      new QStandardItem(QString::number(intensity)),
                      new QStandardItem(QString::number(encryption)), new QStandardItem()});
    // A network's name shows whole, up to the longest a network may have.
    const int ssidWidth =
        fontMetrics().horizontalAdvance(ssid.left(kSsidShownChars)) +
        2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 1;
    if (columnWidth(kWifiColumnSsid) < ssidWidth) {
        setColumnWidth(kWifiColumnSsid, ssidWidth);
    }
}

void CWifiListView::vClear() {
    auto* model = qobject_cast<QStandardItemModel*>(this->model());
    model->removeRows(0, model->rowCount());
}

int CWifiListView::iRowCount() const {
    return model()->rowCount();
}

QString CWifiListView::strCell(int row, int column) const {
    return model()->index(row, column).data().toString();
}

void CWifiListView::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        vFitRowsToFont(*this);
    }
}

void CWifiListView::contextMenuEvent(QContextMenuEvent* event) {
    const QModelIndex cell = indexAt(event->pos());
    if (cell.isValid()) {
        emit sigRowRightClicked(cell.row(), event->globalPos());
    }
}
