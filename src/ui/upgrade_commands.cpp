#include "ui/upgrade_commands.h"

#include <QDialog>
#include <QFileDialog>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
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
constexpr int kPanelWidth = 560;
constexpr int kPanelHeight = 360;
constexpr int kWaveMax = 5000;
constexpr int kVerifySecondsMax = 3600;

QString strProgressText(const CUpgDeviceResult& device) {
    if (device.m_ulBytesTotal == 0) {
        return device.m_eOutcome == EUpgOutcome::kRunning ? QStringLiteral("...") : QString();
    }
    return QString::number(device.m_ulBytesSent * 100 / device.m_ulBytesTotal) + "%";
}

// The one verdict as the CLI shows it: the phase while it goes, then the outcome with
// its reason (or the version it came back with).
QString strResultText(const CUpgDeviceResult& device) {
    if (device.m_eOutcome == EUpgOutcome::kRunning) {
        return strTrKey(strUpgPhaseName(device.m_ePhase).c_str());
    }
    QString text = strTrKey(strUpgOutcomeName(device.m_eOutcome).c_str());
    if (device.m_eOutcome == EUpgOutcome::kSucceeded && !device.m_strVersionAfter.empty()) {
        text += " (" + QString::fromStdString(device.m_strVersionAfter) + ")";
    } else if (device.m_eReason != EUpgReason::kNone &&
               device.m_eReason != EUpgReason::kNotStarted) {
        text += ": " + QString::fromStdString(strUpgReasonText(device));
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
    CUpgChoice choice = sChooseUpgFiles(paths, requestedType);
    for (const std::string& rejected : choice.m_rejected) {
        CUpgEvent event = sUpgEvent(EUpgEvent::kFileRejected, {});
        event.m_strFile = rejected;
        m_window.PrintLog(QString::fromStdString(strUpgEventLine(event)));
    }
    // A file that cannot be read whole is named now, before any device is asked.
    std::erase_if(choice.m_files, [this](const CUpgFile& file) {
        const std::string problem = strUpgFileProblem(file.m_strPath);
        if (!problem.empty()) {
            m_window.PrintLog("\r\n" + QString::fromStdString(file.m_strPath) + ": " +
                              strTrKey(problem.c_str()));
        }
        return !problem.empty();
    });
    if (choice.m_files.empty() || m_pUpgrader == nullptr) {
        return;
    }
    std::vector<std::string> targets;
    for (const CDevInfo& devInfo : m_pStation->registry().vecGetSelectDevInfo()) {
        targets.push_back(devInfo.m_strIp);
    }
    if (m_pUpgrader->iStartUpgrade(choice.m_files, targets, sNextPlan()) > 0) {
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

void CUpgradeCommands::vOpenPanel() {
    vMakePanel();
    vRefreshPanel();
    m_pPanel->show();
    m_pPanel->raise();
}

CUpgPlan CUpgradeCommands::sNextPlan() const {
    CUpgPlan plan;
    if (m_pPanel.isNull()) {
        return plan;
    }
    plan.m_iWave = m_pWave->value();
    plan.m_iStopAfter = m_pStopAfter->value();
    plan.m_strExpectVersion = m_pExpectVersion->text().trimmed().toStdString();
    plan.m_verifyTimeout = std::chrono::seconds(m_pVerifySeconds->value());
    return plan;
}

void CUpgradeCommands::vSetPanelPlan(const CUpgPlan& plan) {
    vMakePanel();
    m_pWave->setValue(plan.m_iWave);
    m_pStopAfter->setValue(plan.m_iStopAfter);
    m_pExpectVersion->setText(QString::fromStdString(plan.m_strExpectVersion));
    m_pVerifySeconds->setValue(static_cast<int>(plan.m_verifyTimeout.count()));
}

void CUpgradeCommands::vMakePanel() {
    if (!m_pPanel.isNull()) {
        return;
    }
    // A window of its own beside the main window: the main window's layout has no
    // room, and the operator may move it away while the transfers run.
    m_pPanel = new QDialog(&m_window, Qt::Tool);
    m_pPanel->setWindowTitle(strTrKey("Upgrade"));
    auto* layout = new QVBoxLayout(m_pPanel);
    auto* settings = new QFormLayout();
    m_pWave = new QSpinBox(m_pPanel);
    m_pWave->setRange(0, kWaveMax);
    m_pWave->setSpecialValueText(strTrKey("all at once"));
    m_pStopAfter = new QSpinBox(m_pPanel);
    m_pStopAfter->setRange(0, kWaveMax);
    m_pStopAfter->setSpecialValueText(strTrKey("never"));
    m_pExpectVersion = new QLineEdit(m_pPanel);
    m_pExpectVersion->setPlaceholderText(strTrKey("not checked"));
    m_pVerifySeconds = new QSpinBox(m_pPanel);
    m_pVerifySeconds->setRange(1, kVerifySecondsMax);
    m_pVerifySeconds->setValue(static_cast<int>(CUpgPlan{}.m_verifyTimeout.count()));
    m_pVerifySeconds->setSuffix(" s");
    settings->addRow(strTrKey("Devices per wave"), m_pWave);
    settings->addRow(strTrKey("Stop after failures"), m_pStopAfter);
    settings->addRow(strTrKey("Expected version"), m_pExpectVersion);
    settings->addRow(strTrKey("Wait for the restart"), m_pVerifySeconds);
    m_pTable = new QTableWidget(0, kColCount, m_pPanel);
    m_pTable->setHorizontalHeaderLabels(
        {strTrKey("IP"), strTrKey("Files"), strTrKey("Progress"), strTrKey("Result")});
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->verticalHeader()->hide();
    m_pTable->horizontalHeader()->setStretchLastSection(true);
    m_pSummary = new QLabel(m_pPanel);
    m_pSummary->setWordWrap(true);
    layout->addLayout(settings);
    layout->addWidget(m_pTable);
    layout->addWidget(m_pSummary);
    m_pPanel->resize(kPanelWidth, kPanelHeight);
}

void CUpgradeCommands::vShowPanel() {
    vMakePanel();
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
