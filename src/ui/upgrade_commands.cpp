#include "ui/upgrade_commands.h"

#include <QDialog>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>
#include <string>

#include "app/log.h"
#include "protocol/station.h"
#include "ui/client_dlg.h"
#include "ui/dialog_text.h"
#include "upgrade/upgrader.h"

namespace {
enum EPanelColumn : int { kColIp, kColFiles, kColProgress, kColResult, kColCount };
constexpr int kPanelWidth = 480;
constexpr int kPanelHeight = 260;

QString strProgressText(const CUpgDeviceResult& device) {
    if (device.m_ulBytesTotal == 0) {
        return device.m_eOutcome == EUpgOutcome::kRunning ? QStringLiteral("...") : QString();
    }
    return QString::number(device.m_ulBytesSent * 100 / device.m_ulBytesTotal) + "%";
}

QString strResultText(const CUpgDeviceResult& device) {
    QString text = strTrKey(strUpgOutcomeName(device.m_eOutcome).c_str());
    if (const std::string reason = strUpgReasonKey(device.m_eReason); !reason.empty()) {
        text += ": " + strTrKey(reason.c_str());
    }
    return text;
}
}  // namespace

QString strChooseUpgFile(QWidget* owner) {
    std::string path;
    if (iEXP_OpenFileManageGetFilePath(path, owner) != 0) {
        return {};
    }
    return QString::fromStdString(path);
}

QStringList strsChooseUpgFiles(QWidget* owner) {
    return QFileDialog::getOpenFileNames(owner, QStringLiteral("Open file"));
}

CUpgradeCommands::CUpgradeCommands(CclientDlg& window, CStation* station)
    : QObject(&window),
      m_window(window),
      m_pStation(station),
      m_chooseOne(strChooseUpgFile),
      m_chooseMany(strsChooseUpgFiles) {
    m_progressTimer.setInterval(kProgressPeriodMs);
    connect(&m_progressTimer, &QTimer::timeout, this, &CUpgradeCommands::vRefreshPanel);
}

void CUpgradeCommands::vSetFileChoosers(FChooseUpgFile one, FChooseUpgFiles many) {
    m_chooseOne = std::move(one);
    m_chooseMany = std::move(many);
}

void CUpgradeCommands::vOnUpgradeButton() {
    if (m_pStation == nullptr || m_pStation->registry().iListSelect() == -1) {
        vShowChooseDevice(&m_window);
        return;
    }
    vUpgrade(kUpgTypeByPath);
}

void CUpgradeCommands::vUpgrade(int requestedType) {
    // Files chosen for an empty pool would go nowhere: ask for a device first.
    if (m_pStation == nullptr || m_pStation->registry().vecPool().empty()) {
        vShowChooseDevice(&m_window);
        return;
    }
    std::vector<std::string> paths;
    if (requestedType != kUpgTypeByPath && requestedType != static_cast<int>(kUpgTypeOthers)) {
        const QString path = m_chooseOne(&m_window);
        if (path.isEmpty()) {
            KLOG_INFO("no select file");
            return;
        }
        paths.push_back(path.toStdString());
    } else {
        for (const QString& path : m_chooseMany(&m_window)) {
            if (paths.size() == static_cast<std::size_t>(kUpgFilesMax)) {
                break;
            }
            KLOG_INFO("otherfile:%s", path.toStdString().c_str());
            paths.push_back(path.toStdString());
        }
    }
    if (paths.empty()) {
        return;
    }
    const CUpgChoice choice = sChooseUpgFiles(paths, requestedType);
    for (const std::string& rejected : choice.m_rejected) {
        CUpgEvent event = sUpgEvent(EUpgEvent::kFileRejected, {});
        event.m_strFile = rejected;
        m_window.PrintLog(QString::fromStdString(strUpgEventLine(event)));
    }
    if (choice.m_files.empty() || m_pUpgrader == nullptr) {
        return;
    }
    std::vector<std::string> targets;
    for (const CDevInfo& devInfo : m_pStation->registry().vecGetSelectDevInfo()) {
        targets.push_back(devInfo.m_strIp);
    }
    if (m_pUpgrader->iStartUpgrade(choice.m_files, targets) > 0) {
        vShowPanel();
    }
}

bool CUpgradeCommands::fgRetryFailed() {
    if (m_pUpgrader == nullptr || m_pUpgrader->iRetryFailed() <= 0) {
        return false;
    }
    vShowPanel();
    return true;
}

bool CUpgradeCommands::fgCanRetry() const {
    if (m_pUpgrader == nullptr || m_pUpgrader->fgRunning()) {
        return false;
    }
    for (const CUpgDeviceResult& device : m_pUpgrader->vecRunDevices()) {
        if (device.m_eOutcome != EUpgOutcome::kSucceeded) {
            return true;
        }
    }
    return false;
}

void CUpgradeCommands::vOnSummary(const CUpgSummary& summary) {
    m_progressTimer.stop();
    vRefreshPanel();
    if (m_pSummary != nullptr) {
        m_pSummary->setText(QString::fromStdString(strUpgSummaryLine(summary)).trimmed());
    }
}

void CUpgradeCommands::vShowPanel() {
    if (m_pPanel.isNull()) {
        // A window of its own beside the main window: the main window's layout has no
        // room, and the operator may move it away while the transfers run.
        m_pPanel = new QDialog(&m_window, Qt::Tool);
        m_pPanel->setWindowTitle(strTrKey("Upgrade"));
        auto* layout = new QVBoxLayout(m_pPanel);
        m_pTable = new QTableWidget(0, kColCount, m_pPanel);
        m_pTable->setHorizontalHeaderLabels(
            {strTrKey("IP"), strTrKey("Files"), strTrKey("Progress"), strTrKey("Result")});
        m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_pTable->verticalHeader()->hide();
        m_pTable->horizontalHeader()->setStretchLastSection(true);
        m_pSummary = new QLabel(m_pPanel);
        m_pSummary->setWordWrap(true);
        layout->addWidget(m_pTable);
        layout->addWidget(m_pSummary);
        m_pPanel->resize(kPanelWidth, kPanelHeight);
    }
    m_pSummary->clear();
    vRefreshPanel();
    m_pPanel->show();
    m_pPanel->raise();
    m_progressTimer.start();
}

void CUpgradeCommands::vRefreshPanel() {
    if (m_pUpgrader == nullptr || m_pTable == nullptr) {
        return;
    }
    const std::vector<CUpgDeviceResult> devices = m_pUpgrader->vecRunDevices();
    m_pTable->setRowCount(static_cast<int>(devices.size()));
    for (int row = 0; row < static_cast<int>(devices.size()); ++row) {
        const CUpgDeviceResult& device = devices[static_cast<std::size_t>(row)];
        const QString cells[kColCount] = {QString::fromStdString(device.m_strDevice),
                                          QString::number(device.m_files.size()),
                                          strProgressText(device), strResultText(device)};
        for (int column = 0; column < kColCount; ++column) {
            QTableWidgetItem* item = m_pTable->item(row, column);
            if (item == nullptr) {
                m_pTable->setItem(row, column, new QTableWidgetItem(cells[column]));
            } else if (item->text() != cells[column]) {
                item->setText(cells[column]);
            }
        }
    }
}

QString CUpgradeCommands::strPanelCell(int row, int column) const {
    const QTableWidgetItem* item = m_pTable == nullptr ? nullptr : m_pTable->item(row, column);
    return item == nullptr ? QString() : item->text();
}

int CUpgradeCommands::iPanelRows() const {
    return m_pTable == nullptr ? 0 : m_pTable->rowCount();
}
