#include "ui/device_list_model.h"

#include <QBrush>
#include <QColor>
#include <QStringList>
#include <array>
#include <cstdio>

#include "app/shown_text.h"
#include "app/translate.h"

namespace {
constexpr std::size_t kWellFormedUidChars = 20;
constexpr std::array<int, CDevListModel::kColCount> kColumnWidths{40, 60, 100, 130, 200};
constexpr double kMegabytesPerGigabyte = 1024.0;
const QColor kPassedColour(200, 240, 200);
const QColor kFailedColour(255, 200, 200);
const QColor kUnexpectedColour(255, 215, 130);

QString strQ(const std::string& text) {
    return QString::fromStdString(text);
}
}  // namespace

CDevListRow sDevListRow(const CDevInfo& devInfo) {
    return CDevListRow{devInfo.m_strUid, devInfo.m_strVersion, devInfo.m_strIp,
                       strShownMac(devInfo)};
}

bool fgUidIsMalformed(const std::string& uid) {
    return uid.size() != kWellFormedUidChars;
}

std::string strSdCardText(std::uint32_t sdFigure1, std::uint32_t sdFigure2) {
    std::array<char, 128> text{};
    std::snprintf(text.data(), text.size(), "%.4f G / %.4f G", sdFigure2 / kMegabytesPerGigabyte,
                  sdFigure1 / kMegabytesPerGigabyte);
    return text.data();
}

CDevListModel::CDevListModel(QObject* parent)
    : QAbstractTableModel(parent),
      m_strVersionHeader(strQ(strTranslate("Version"))),
      m_strMacHeader(strQ(strTranslate("Mac Address"))) {}

void CDevListModel::vResetRows(std::vector<CDevListRow> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    m_checked.assign(m_rows.size(), 0);
    endResetModel();
}

void CDevListModel::vAppendRow(CDevListRow row) {
    const int index = static_cast<int>(m_rows.size());
    beginInsertRows(QModelIndex(), index, index);
    m_rows.push_back(std::move(row));
    m_checked.push_back(0);
    endInsertRows();
}

void CDevListModel::vUpdateRow(int row, CDevListRow content) {
    if (row < 0 || row >= rowCount()) {
        return;
    }
    m_rows[static_cast<std::size_t>(row)] = std::move(content);
    emit dataChanged(index(row, 0), index(row, kColCount - 1));
}

void CDevListModel::vSetChecked(const std::vector<int>& rows) {
    std::vector<char> checked(m_rows.size(), 0);
    for (const int row : rows) {
        if (row >= 0 && row < rowCount()) {
            checked[static_cast<std::size_t>(row)] = 1;
        }
    }
    for (int row = 0; row < rowCount(); ++row) {
        const auto at = static_cast<std::size_t>(row);
        if (checked[at] != m_checked[at]) {
            m_checked[at] = checked[at];
            const QModelIndex cell = index(row, kColId);
            emit dataChanged(cell, cell, {Qt::CheckStateRole});
        }
    }
}

bool CDevListModel::fgIsChecked(int row) const {
    return row >= 0 && row < rowCount() && m_checked[static_cast<std::size_t>(row)] != 0;
}

const CDevListRow* CDevListModel::psRow(int row) const {
    if (row < 0 || row >= rowCount()) {
        return nullptr;
    }
    return &m_rows[static_cast<std::size_t>(row)];
}

void CDevListModel::vMarkChecked(const std::string& ip, bool passed, const QString& failures) {
    CRowMark& mark = m_marks[ip];
    mark.m_eCheck = passed ? ECheckMark::kPassed : ECheckMark::kFailed;
    mark.m_strFailures = failures;
    vRepaintMarks(ip);
}

void CDevListModel::vMarkUnexpected(const std::vector<std::string>& ips) {
    std::vector<std::string> changed;
    for (auto& [ip, mark] : m_marks) {
        if (mark.m_fgUnexpected) {
            mark.m_fgUnexpected = false;
            changed.push_back(ip);
        }
    }
    for (const std::string& ip : ips) {
        m_marks[ip].m_fgUnexpected = true;
        changed.push_back(ip);
    }
    std::erase_if(m_marks, [](const auto& entry) {
        return entry.second.m_eCheck == ECheckMark::kNone && !entry.second.m_fgUnexpected;
    });
    for (const std::string& ip : changed) {
        vRepaintMarks(ip);
    }
}

void CDevListModel::vClearMarks() {
    if (m_marks.empty()) {
        return;
    }
    m_marks.clear();
    if (!m_rows.empty()) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, kColCount - 1),
                         {Qt::BackgroundRole, Qt::ToolTipRole});
    }
}

CRowMark CDevListModel::sMark(const std::string& ip) const {
    const auto found = m_marks.find(ip);
    return found == m_marks.end() ? CRowMark{} : found->second;
}

void CDevListModel::vRepaintMarks(const std::string& ip) {
    for (int row = 0; row < rowCount(); ++row) {
        if (m_rows[static_cast<std::size_t>(row)].m_strIp == ip) {
            emit dataChanged(index(row, 0), index(row, kColCount - 1),
                             {Qt::BackgroundRole, Qt::ToolTipRole});
        }
    }
}

int CDevListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CDevListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColCount;
}

QVariant CDevListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return {};
    }
    const CDevListRow& row = m_rows[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            switch (index.column()) {
                case kColId:
                    return QString::number(index.row() + 1);
                case kColUid:
                    return strQ(strShownText(row.m_strUid));
                case kColVersion:
                    return strQ(strShownText(row.m_strVersion));
                case kColIp:
                    return strQ(row.m_strIp);
                case kColMac:
                    return strQ(strShownText(row.m_strMac));
                default:
                    return {};
            }
        case Qt::ForegroundRole:
            return QBrush(fgUidIsMalformed(row.m_strUid) ? QColor(255, 0, 0) : QColor(0, 0, 0));
        case Qt::BackgroundRole:
        case Qt::ToolTipRole: {
            const auto found = m_marks.find(row.m_strIp);
            if (found == m_marks.end()) {
                return {};
            }
            const CRowMark& mark = found->second;
            if (role == Qt::BackgroundRole) {
                return QBrush(mark.m_eCheck == ECheckMark::kFailed   ? kFailedColour
                              : mark.m_fgUnexpected                  ? kUnexpectedColour
                              : mark.m_eCheck == ECheckMark::kPassed ? kPassedColour
                                                                     : QColor());
            }
            QStringList tips;
            if (mark.m_eCheck == ECheckMark::kFailed) {
                tips << mark.m_strFailures;
            }
            if (mark.m_fgUnexpected) {
                tips << strQ(strTranslate("not expected on this bench"));
            }
            return tips.isEmpty() ? QVariant() : QVariant(tips.join(QLatin1Char('\n')));
        }
        case Qt::CheckStateRole:
            if (index.column() == kColId) {
                return fgIsChecked(index.row()) ? Qt::Checked : Qt::Unchecked;
            }
            return {};
        default:
            return {};
    }
}

QVariant CDevListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (section) {
        case kColId:
            return QStringLiteral("ID");
        case kColUid:
            return QStringLiteral("UID");
        case kColVersion:
            return m_strVersionHeader;
        case kColIp:
            return QStringLiteral("IP");
        case kColMac:
            return m_strMacHeader;
        default:
            return {};
    }
}

Qt::ItemFlags CDevListModel::flags(const QModelIndex& index) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags itemFlags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == kColId) {
        itemFlags |= Qt::ItemIsUserCheckable;
    }
    return itemFlags;
}

bool CDevListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || index.column() != kColId ||
        !checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return false;
    }
    const bool checked = value.toInt() == Qt::Checked;
    m_checked[static_cast<std::size_t>(index.row())] = checked ? 1 : 0;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    emit sigCheckClicked(index.row(), checked);
    return true;
}

int CDevListModel::iColumnWidth(int column) {
    if (column < 0 || column >= kColCount) {
        return 0;
    }
    return kColumnWidths[static_cast<std::size_t>(column)];
}
