#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "protocol/dev_info.h"

// What one row of the device list shows of a device record.
struct CDevListRow {
    std::string m_strUid;
    std::string m_strVersion;
    std::string m_strIp;
    std::string m_strMac;  // wired MAC when the device answered over its wired port
    bool operator==(const CDevListRow&) const = default;
};

// The row of a record (the MAC column as strShownMac chooses it).
CDevListRow sDevListRow(const CDevInfo& devInfo);

// A UID that is not exactly 20 characters long is drawn in red.
bool fgUidIsMalformed(const std::string& uid);

// The SD card label of a clicked device: "%.4f G / %.4f G" with the second figure
// first, each in megabytes divided by 1024.
std::string strSdCardText(std::uint32_t sdFigure1, std::uint32_t sdFigure2);

// What the line check found out about the device at an address, as the list marks it:
// its outcome (with the failed steps and their reasons) and whether the expected bench
// names it.
enum class ECheckMark : std::uint8_t { kNone, kPassed, kFailed };
struct CRowMark {
    ECheckMark m_eCheck = ECheckMark::kNone;
    QString m_strFailures;  // the failed steps, one "step: reason" a line
    bool m_fgUnexpected = false;
};

// The device list: a snapshot of the active view of the device registry, one row per
// record in view order, with the check box of each row ticked exactly when the row is
// in the device pool. Columns "ID" (row + 1), "UID", "Version", "IP", "Mac Address".
// The registry stays the owner of the data: the window copies rows in on its changes
// and forwards the operator's check-box clicks. Rows marked by the line check are drawn
// on light green (passed), light red (failed, the tooltip names the failed steps) or
// amber (not expected on the bench); the marks are kept by address, so they follow
// their device through resets and sorting. UI thread only.
class CDevListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum EColumn : int { kColId, kColUid, kColVersion, kColIp, kColMac, kColCount };

    explicit CDevListModel(QObject* parent = nullptr);

    // Replaces every row (the ticks are cleared).
    void vResetRows(std::vector<CDevListRow> rows);
    // Appends one row, unticked.
    void vAppendRow(CDevListRow row);
    // Overwrites row `row`; an index outside the list is ignored.
    void vUpdateRow(int row, CDevListRow content);
    // Ticks exactly the given rows (indices outside the list are ignored).
    void vSetChecked(const std::vector<int>& rows);
    bool fgIsChecked(int row) const;
    const CDevListRow* psRow(int row) const;

    // The check's outcome for the device at ip (failures: "step: reason" lines).
    void vMarkChecked(const std::string& ip, bool passed, const QString& failures);
    // Exactly the devices at these addresses are marked as not expected on the bench.
    void vMarkUnexpected(const std::vector<std::string>& ips);
    // Drops every mark.
    void vClearMarks();
    CRowMark sMark(const std::string& ip) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Only the check state of column 0 can be set: the operator's click on a check box.
    // The tick shows at once and sigCheckClicked tells the window.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // Pixel widths of the five columns.
    static int iColumnWidth(int column);

  signals:
    void sigCheckClicked(int row, bool checked);

  private:
    void vRepaintMarks(const std::string& ip);

    std::vector<CDevListRow> m_rows;
    std::map<std::string, CRowMark> m_marks;  // by address
    std::vector<char> m_checked;              // one flag per row
    QString m_strVersionHeader;
    QString m_strMacHeader;
};
