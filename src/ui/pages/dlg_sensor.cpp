#include "ui/pages/dlg_sensor.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <algorithm>
#include <limits>

#include "app/shown_text.h"
#include "protocol/requests.h"
#include "protocol/station.h"
#include "ui/dialog_text.h"
#include "ui/dlg_code_name.h"
#include "ui/pages/page_support.h"
#include "ui/ui_helpers.h"

namespace {

constexpr int kColName = 0;
constexpr int kColIndex = 1;
constexpr int kProgressMax = 100;
// Characters of a power edit that are read: any 32-bit number fits.
constexpr int kPowerRoomChars = 11;

struct CButtonDef {
    ESensorButton m_eButton;
    int m_iX;
    int m_iY;
    int m_iW;
};
constexpr CButtonDef kButtonDefs[kSensorButtonCount] = {
    {ESensorButton::kRefresh, 190, 10, 100},     {ESensorButton::kLearnWarning, 190, 30, 100},
    {ESensorButton::kLearnKey, 190, 50, 100},    {ESensorButton::kStop, 190, 70, 100},
    {ESensorButton::kStartTest, 190, 90, 100},   {ESensorButton::kClearAll, 190, 110, 100},
    {ESensorButton::kCalibrate1, 215, 170, 110}, {ESensorButton::kCalibrate2, 215, 188, 110},
    {ESensorButton::kCalibrate3, 215, 206, 110},
};
constexpr int kButtonH = 16;

std::size_t uSlot(ESensorButton button) {
    return static_cast<std::size_t>(button);
}

// A button's caption key, translated where the key scan sees each literal.
QString strCaption(ESensorButton button) {
    switch (button) {
        case ESensorButton::kRefresh:
            return strTrKey("Refresh");
        case ESensorButton::kLearnWarning:
            return strTrKey("Start Coding(Warning)");
        case ESensorButton::kLearnKey:
            return strTrKey("Start Coding(Key)");
        case ESensorButton::kStop:
            return strTrKey("Stop");
        case ESensorButton::kStartTest:
            return strTrKey("Start Test");
        case ESensorButton::kClearAll:
            return strTrKey("Clear data");
        case ESensorButton::kCalibrate1:
        case ESensorButton::kCalibrate2:
        case ESensorButton::kCalibrate3:
            break;
    }
    return strTrKey("Smart socket power calibration");
}

QString strPowerLabel(int calibrationRow) {
    switch (calibrationRow) {
        case 0:
            return strTrKey("Standard power for smart sockets(W) (1):");
        case 1:
            return strTrKey("Standard power for smart sockets(W) (2):");
        default:
            return strTrKey("Standard power for smart sockets(W) (3):");
    }
}

// The calibration result a device confirms, shown as it is.
const char* const kCalibratedWords = "校准成功";

}  // namespace

CDlgSensor::CDlgSensor(QWidget* parent, CStation* station)
    : CScaledPage(parent, 1), m_pStation(station) {
    m_pList = new QTableWidget(0, 2, this);
    m_pList->setGeometry(sPageTemplateRect(10, 10, 170, 150));
    m_pList->setHorizontalHeaderLabels({strTrKey("Name"), strTrKey("Index")});
    m_pList->setColumnWidth(kColName, 200);
    m_pList->setColumnWidth(kColIndex, 60);
    m_pList->verticalHeader()->hide();
    m_pList->setShowGrid(true);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The selected row keeps its highlight (white text) when the list loses the focus.
    QPalette palette = m_pList->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Highlight,
                         palette.color(QPalette::Active, QPalette::Highlight));
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
        palette.setColor(group, QPalette::Base, Qt::white);
        palette.setColor(group, QPalette::Text, Qt::black);
    }
    m_pList->setPalette(palette);
    // Whatever moves the highlight (a click, a right click, the arrow keys, a refresh)
    // moves the row the buttons address.
    connect(m_pList->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const QModelIndexList rows = m_pList->selectionModel()->selectedRows();
        if (!rows.isEmpty()) {
            m_iSelectedRow = rows.front().row();
        }
    });
    m_pList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_pList, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const int row = m_pList->indexAt(at).row();
        if (row < 0) {
            return;
        }
        // The row the menu is about is the row the buttons address from now on.
        vSelectRow(row);
        QMenu menu(this);
        QAction* remove = menu.addAction(strTrKey("Delete"));
        if (menu.exec(m_pList->viewport()->mapToGlobal(at)) == remove) {
            vDeleteRow(row);
        }
    });

    for (int row = 0; row < kCalibrationRows; ++row) {
        const int y = 170 + 18 * row;
        auto* label = new QLabel(strPowerLabel(row), this);
        label->setGeometry(sPageTemplateRect(10, y + 2, 150, 10));
        m_powerEdits[static_cast<std::size_t>(row)] = new QLineEdit(this);
        m_powerEdits[static_cast<std::size_t>(row)]->setGeometry(sPageTemplateRect(165, y, 45, 14));
    }
    for (const CButtonDef& def : kButtonDefs) {
        auto* button = new QPushButton(strCaption(def.m_eButton), this);
        button->setGeometry(sPageTemplateRect(def.m_iX, def.m_iY, def.m_iW, kButtonH));
        m_buttons[uSlot(def.m_eButton)] = button;
    }
    const auto onClick = [this](ESensorButton button, auto action) {
        connect(pButton(button), &QPushButton::clicked, this, action);
    };
    onClick(ESensorButton::kRefresh, [this] { vRefresh(); });
    onClick(ESensorButton::kLearnWarning, [this] { vStartLearning(ESensorLearn::kWarning); });
    onClick(ESensorButton::kLearnKey, [this] { vStartLearning(ESensorLearn::kKey); });
    onClick(ESensorButton::kStop, [this] { vStopLearning(); });
    onClick(ESensorButton::kStartTest, [this] { vStartTest(); });
    onClick(ESensorButton::kClearAll, [this] { vClearAll(); });
    onClick(ESensorButton::kCalibrate1, [this] { vCalibrate(0); });
    onClick(ESensorButton::kCalibrate2, [this] { vCalibrate(1); });
    onClick(ESensorButton::kCalibrate3, [this] { vCalibrate(2); });

    m_pResult = new QPlainTextEdit(this);
    // The learning indicator sits above the page's bottom edge, whole at every size.
    m_pResult->setGeometry(sPageTemplateRect(10, 228, 315, 46));
    auto* progressLabel = new QLabel(strTrKey("Current progress:"), this);
    progressLabel->setGeometry(sPageTemplateRect(10, 279, 60, 10));
    m_pProgress = new QProgressBar(this);
    m_pProgress->setGeometry(sPageTemplateRect(75, 279, 250, 10));
    m_pProgress->setRange(0, kProgressMax);
    m_pProgress->setValue(0);
    m_pProgress->setTextVisible(false);

    m_learnTimer.setInterval(kLearnPeriodMs);
    connect(&m_learnTimer, &QTimer::timeout, this, [this] { vLearnTick(); });
}

QPushButton* CDlgSensor::pButton(ESensorButton button) const {
    return m_buttons[uSlot(button)];
}

QLineEdit* CDlgSensor::pPowerEdit(int calibrationRow) const {
    return m_powerEdits.at(static_cast<std::size_t>(calibrationRow));
}

void CDlgSensor::vTabRefresh(ETabRefresh /*cause*/) {
    vRefresh();
}

void CDlgSensor::vEmptyList() {
    m_pList->setRowCount(0);
    m_table.clear();
}

bool CDlgSensor::fgLoginCheck(std::string& ip) {
    return m_pStation != nullptr && m_pStation->fgSelectDevIsLogin(&ip);
}

const CDlgSensor::CTableEntry* CDlgSensor::psSelectedEntry() const {
    // Only a highlighted row is addressed.
    if (m_iSelectedRow < 0 || static_cast<std::size_t>(m_iSelectedRow) >= m_table.size() ||
        !m_pList->selectionModel()->isRowSelected(m_iSelectedRow, QModelIndex())) {
        return nullptr;
    }
    return &m_table[static_cast<std::size_t>(m_iSelectedRow)];
}

void CDlgSensor::vRefresh() {
    vEmptyList();
    fgSendToSelectedDev(this, m_pStation, bufBuildQuerySensors());
}

void CDlgSensor::vSelectRow(int row) {
    if (row >= 0 && row < m_pList->rowCount()) {
        m_pList->selectRow(row);
    }
}

void CDlgSensor::vStartLearning(ESensorLearn kind) {
    if (kind == ESensorLearn::kWarning) {
        m_pResult->clear();
        if (!fgSendToSelectedDev(this, m_pStation, bufBuildLearnSensor(kind))) {
            return;
        }
    } else {
        // The key fob's start asks nothing of an empty selection and keeps the result text.
        std::string ip;
        if (!fgLoginCheck(ip)) {
            return;
        }
        m_pStation->fgSendToDev(ip, bufBuildLearnSensor(kind));
    }
    // Starting again while learning starts the minute again.
    m_pProgress->setValue(0);
    m_iLearnTicks = 0;
    m_learnTimer.start();
}

void CDlgSensor::vLearnTick() {
    if (++m_iLearnTicks >= kLearnTicks) {
        vEndLearning();
        vStopLearning();
        return;
    }
    m_pProgress->setValue(m_pProgress->value() >= kProgressMax ? 0 : m_pProgress->value() + 1);
}

void CDlgSensor::vEndLearning() {
    m_learnTimer.stop();
    m_pProgress->setValue(0);
}

void CDlgSensor::vStopLearning() {
    m_pResult->clear();
    // The indicator stops whether or not the device can be told.
    vEndLearning();
    fgSendToSelectedDev(this, m_pStation, bufBuildStopSensorLearn());
}

const CDlgSensor::CTableEntry* CDlgSensor::psCheckedSelection(std::string& ip) {
    m_pResult->clear();
    if (!fgLoginCheck(ip)) {
        return nullptr;
    }
    const CTableEntry* entry = psSelectedEntry();
    if (entry == nullptr) {
        m_pResult->setPlainText(strTrKey("Please choose a sensor in the list"));
    }
    return entry;
}

void CDlgSensor::vStartTest() {
    std::string ip;
    const CTableEntry* entry = psCheckedSelection(ip);
    if (entry == nullptr) {
        return;
    }
    if (m_pStation->fgSendToDev(ip, bufBuildSensorTest(entry->m_uiIndex, entry->m_uiKind))) {
        // Enabled again by the test's answer, whatever it says.
        pButton(ESensorButton::kStartTest)->setEnabled(false);
    }
}

void CDlgSensor::vCalibrate(int calibrationRow) {
    std::string ip;
    const CTableEntry* entry = psCheckedSelection(ip);
    if (entry == nullptr) {
        return;
    }
    const std::int64_t watts = std::clamp<std::int64_t>(
        iEditNumber(pPowerEdit(calibrationRow)->text(), kPowerRoomChars),
        std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
    m_pStation->fgSendToDev(
        ip, bufBuildPowerCalibration(entry->m_uiIndex, static_cast<std::int32_t>(watts)));
}

void CDlgSensor::vDeleteRow(int row) {
    m_pResult->clear();
    std::string ip;
    if (row < 0 || static_cast<std::size_t>(row) >= m_table.size() || !fgLoginCheck(ip)) {
        return;
    }
    m_pStation->fgSendToDev(ip,
                            bufBuildDeleteSensor(m_table[static_cast<std::size_t>(row)].m_uiIndex));
    vEmptyList();
    m_pStation->fgSendToDev(ip, bufBuildQuerySensors());
}

void CDlgSensor::vClearAll() {
    m_pResult->clear();
    const std::optional<std::string> ip = sLoggedInSelection(this, m_pStation);
    if (!ip || iMessageBoxTips(
                   this, strTrKey("Are you sure you want to delete all the sensors?")) != kBoxOk) {
        return;
    }
    m_pStation->fgSendToDev(*ip, bufBuildClearSensors());
    QTimer::singleShot(kClearRefreshMs, this, [this] { vRefresh(); });
}

void CDlgSensor::vFillList(const std::vector<CSensorEntry>& entries) {
    vEmptyList();
    const std::size_t rows = std::min(entries.size(), kSensorTableMax);
    m_pList->setRowCount(static_cast<int>(rows));
    for (std::size_t i = 0; i < rows; ++i) {
        const auto row = static_cast<int>(i);
        const CSensorEntry& entry = entries[i];
        m_pList->setItem(
            row, kColName,
            new QTableWidgetItem(QString::fromStdString(strShownText(entry.m_strName))));
        m_pList->setItem(row, kColIndex, new QTableWidgetItem(QString::number(entry.m_uiIndex)));
        m_table.push_back({entry.m_uiIndex, entry.m_uiKind});
        if (static_cast<std::int64_t>(entry.m_uiIndex) == m_iNewSensorIndex) {
            m_iSelectedRow = row;
            m_iNewSensorIndex = -1;
            m_pList->setFocus();
        }
    }
    // What is highlighted is what Start Test addresses.
    if (m_iSelectedRow >= 0 && m_iSelectedRow < m_pList->rowCount()) {
        m_pList->selectRow(m_iSelectedRow);
    }
}

void CDlgSensor::vSensorTestEnable() {
    QMetaObject::invokeMethod(
        this, [this] { pButton(ESensorButton::kStartTest)->setEnabled(true); },
        Qt::QueuedConnection);
}

void CDlgSensor::vSensorResult(const std::array<std::uint8_t, kSensorResultBytes>& result,
                               bool calibration) {
    QString text;
    if (calibration) {
        text = QString::fromUtf8(kCalibratedWords);
    } else {
        const std::vector<std::string> lines = vecSensorResultLines(sParseSensorResult(result));
        text = QString::fromStdString(lines.front()) + '\n';
        for (std::size_t i = 1; i < lines.size(); ++i) {
            text += '\n' + QString::fromStdString(lines[i]);
        }
    }
    QMetaObject::invokeMethod(
        this, [this, text] { m_pResult->setPlainText(text); }, Qt::QueuedConnection);
}

void CDlgSensor::vSensorLearnDone(bool success, std::uint32_t newIndex) {
    QMetaObject::invokeMethod(
        this,
        [this, success, newIndex] {
            vEndLearning();
            if (success) {
                m_iNewSensorIndex = newIndex;
                m_pResult->setPlainText(strTrKey("Learn code success"));
                vRefresh();
            }
        },
        Qt::QueuedConnection);
}

void CDlgSensor::vSensorList(
    const std::vector<std::array<std::uint8_t, kSensorEntryBytes>>& entries) {
    std::vector<CSensorEntry> parsed;
    for (const auto& entry : entries) {
        if (parsed.size() == kSensorTableMax) {
            break;
        }
        parsed.push_back(sParseSensorEntry(entry));
    }
    QMetaObject::invokeMethod(
        this, [this, parsed = std::move(parsed)] { vFillList(parsed); }, Qt::QueuedConnection);
}

void CDlgSensor::vOpenSensorNameDialog(const std::string& addressText) {
    QMetaObject::invokeMethod(
        this,
        [this, addressText] {
            vEndLearning();
            if (m_pStation != nullptr) {
                CDlgCodeName dialog(m_pStation->sender(), addressText, window());
                dialog.exec();
            }
        },
        Qt::QueuedConnection);
}
