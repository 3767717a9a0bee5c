#include "ui/dev_list_commands.h"

#include <QAction>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QUrl>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "app/log.h"
#include "app/settings.h"
#include "app/text_conv.h"
#include "codec/qr/qr_bitmap.h"
#include "protocol/dev_list_format.h"
#include "protocol/requests.h"
#include "protocol/station.h"
#include "ui/client_dlg.h"
#include "ui/device_list_view.h"
#include "ui/dialog_text.h"
#include "ui/dlg_change_password.h"
#include "ui/dlg_connect_wifi.h"
#include "ui/dlg_history.h"
#include "ui/dlg_qrcode.h"
#include "ui/dlg_set_uid2.h"
#include "ui/result_pane.h"
#include "ui/upgrade_commands.h"
#include "ui/window_history.h"
#include "upgrade/upg_file_type.h"

namespace {
constexpr int kWifiColSsid = 1;
constexpr int kWifiColEncryption = 3;

QAction* psAddCommand(QMenu& menu, const char* key, EListCmd command) {
    QAction* action = menu.addAction(strTrKey(key));
    action->setData(static_cast<int>(command));
    return action;
}

// Runs the menu at globalPos; the command of the entry chosen, if any.
std::optional<EListCmd> sExecMenu(QMenu& menu, QPoint globalPos) {
    const QAction* chosen = menu.exec(globalPos);
    if (chosen == nullptr || !chosen->data().isValid()) {
        return std::nullopt;
    }
    return static_cast<EListCmd>(chosen->data().toInt());
}

// The "Send file" entries: the file each asks for, and the type it is sent as.
struct CSendFileEntry {
    const char* m_pszFileName;
    EListCmd m_eCommand;
    std::uint32_t m_uiType;
};
constexpr std::array<CSendFileEntry, 7> kSendFileEntries{{
    {"uboot.bin", EListCmd::kSendUboot, kUpgTypeUboot},
    {"env.bin", EListCmd::kSendEnv, kUpgTypeEnv},
    {"kernel.bin", EListCmd::kSendKernel, kUpgTypeKernel},
    {"rootfs.bin", EListCmd::kSendRootfs, kUpgTypeRootfs},
    {"config_info.ini", EListCmd::kSendConfig, kUpgTypeConfig},
    {"upcupg.bin", EListCmd::kSendApp, kUpgTypeApp},
    {nullptr, EListCmd::kSendOthers, kUpgTypeOthers},
}};

QString strWritableFile(const QString& fileName) {
    return QDir(QString::fromStdString(CSettings::instance().m_strWritableDir)).filePath(fileName);
}
}  // namespace

CDevListCommands::CDevListCommands(CclientDlg& window, CStation* station)
    : QObject(&window),
      m_window(window),
      m_pStation(station),
      m_chooseSavePath(strChooseSavePath) {}

std::unique_ptr<QMenu> CDevListCommands::psDevListMenu() const {
    auto menu = std::make_unique<QMenu>(&m_window);
    psAddCommand(*menu, "Refresh", EListCmd::kRefresh);
    psAddCommand(*menu, "Modify UID", EListCmd::kModifyUid);
    QMenu* makeFile = menu->addMenu(strTrKey("Make updgrade file"));
    psAddCommand(*makeFile, "All files", EListCmd::kMakeUpgradeFile);
    QMenu* sendFile = menu->addMenu(strTrKey("Send file"));
    for (const CSendFileEntry& entry : kSendFileEntries) {
        if (entry.m_pszFileName == nullptr) {
            psAddCommand(*sendFile, "others", entry.m_eCommand);
        } else {
            // File names are shown as they are.
            sendFile->addAction(QString::fromLatin1(entry.m_pszFileName))
                ->setData(static_cast<int>(entry.m_eCommand));
        }
    }
    sendFile->addSeparator();
    psAddCommand(*sendFile, "Retry failed", EListCmd::kRetryUpgrade)
        ->setEnabled(m_window.upgrade().fgCanRetry());
    psAddCommand(*sendFile, "Upgrade panel", EListCmd::kUpgradePanel);
    psAddCommand(*menu, "Copy UID", EListCmd::kCopyUid);
    psAddCommand(*menu, "Copy IP", EListCmd::kCopyIp);
    psAddCommand(*menu, "Go to web", EListCmd::kGoToWeb);
    psAddCommand(*menu, "Modify Password", EListCmd::kModifyPassword);
    psAddCommand(*menu, "Preview QR code", EListCmd::kPreviewQrCode);
    menu->addSeparator();
    psAddCommand(*menu, "Export list...", EListCmd::kExportList);
    psAddCommand(*menu, "Save results...", EListCmd::kSaveResults);
    psAddCommand(*menu, "Line check...", EListCmd::kLineCheck);
    psAddCommand(*menu, "History...", EListCmd::kHistory);
    return menu;
}

std::unique_ptr<QMenu> CDevListCommands::psWifiMenu() const {
    auto menu = std::make_unique<QMenu>(&m_window);
    psAddCommand(*menu, "Connect Wifi", EListCmd::kConnectWifi);
    return menu;
}

void CDevListCommands::vOnDevListRightClick(int row, QPoint globalPos) {
    if (row < 0 || m_pStation == nullptr) {
        return;
    }
    m_pStation->registry().vSetListSelect(row);
    m_pStation->registry().vDevPoolAdd(row, CDevRegistry::EPoolAdd::kIndex);
    const std::unique_ptr<QMenu> menu = psDevListMenu();
    if (const std::optional<EListCmd> command = sExecMenu(*menu, globalPos)) {
        vRunCommand(*command);
    }
}

void CDevListCommands::vOnWifiRightClick(int row, QPoint globalPos) {
    if (row < 0) {
        return;
    }
    m_iWifiRow = row;
    const std::unique_ptr<QMenu> menu = psWifiMenu();
    if (const std::optional<EListCmd> command = sExecMenu(*menu, globalPos)) {
        vRunCommand(*command);
    }
}

void CDevListCommands::vOnWifiDoubleClick(int row) {
    if (row < 0) {
        return;
    }
    m_iWifiRow = row;
    vOpenConnectWifi();
}

void CDevListCommands::vOnResultPaneMenu(QPoint pos) {
    CResultPane* pane = m_window.pResultPane();
    const std::unique_ptr<QMenu> menu(pane->createStandardContextMenu(pos));
    menu->addSeparator();
    psAddCommand(*menu, "Save results...", EListCmd::kSaveResults);
    if (const std::optional<EListCmd> command =
            sExecMenu(*menu, pane->viewport()->mapToGlobal(pos))) {
        vRunCommand(*command);
    }
}

void CDevListCommands::vRunCommand(EListCmd command) {
    switch (command) {
        case EListCmd::kRefresh:
            m_window.vRefresh();
            return;
        case EListCmd::kSaveResults:
            vSaveResults();
            return;
        case EListCmd::kLineCheck:
            m_window.vOpenLineCheck();
            return;
        default:
            break;
    }
    if (m_pStation == nullptr) {
        return;
    }
    switch (command) {
        case EListCmd::kModifyUid: {
            CDlgSetUid2 dialog(m_pStation, &m_window);
            dialog.exec();
            break;
        }
        case EListCmd::kMakeUpgradeFile:
            m_pStation->devCmd().fgMakeUpgradeFile();
            break;
        case EListCmd::kCopyUid:
        case EListCmd::kCopyIp:
            vCopySelected(command);
            break;
        case EListCmd::kGoToWeb:
            vGoToWeb();
            break;
        case EListCmd::kModifyPassword: {
            CDlgChangePassword dialog(m_pStation, &m_window);
            dialog.exec();
            break;
        }
        case EListCmd::kPreviewQrCode:
            vPreviewQrCode();
            break;
        case EListCmd::kHistory:
            vOpenHistory();
            break;
        case EListCmd::kConnectWifi:
            vConnectWifiFromMenu();
            break;
        case EListCmd::kExportList:
            vExportList();
            break;
        case EListCmd::kRetryUpgrade:
            m_window.upgrade().fgRetryFailed();
            break;
        case EListCmd::kUpgradePanel:
            m_window.upgrade().vOpenPanel();
            break;
        case EListCmd::kSendUboot:
        case EListCmd::kSendEnv:
        case EListCmd::kSendKernel:
        case EListCmd::kSendRootfs:
        case EListCmd::kSendConfig:
        case EListCmd::kSendApp:
        case EListCmd::kSendOthers:
            vSendFile(command);
            break;
        case EListCmd::kRefresh:
        case EListCmd::kSaveResults:
        case EListCmd::kLineCheck:
            break;
    }
}

void CDevListCommands::vOpenHistory() {
    CDevInfo device;
    const bool selected = m_pStation->registry().fgGetCurrDevInfo(device);
    // A dialog per device, closed by the operator; the window owns it until then.
    auto* dialog = new CDlgHistory(windowHistory(m_window), &m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    const bool uidIsText =
        !device.m_strUid.empty() && strSanitizeUtf8(device.m_strUid) == device.m_strUid;
    dialog->vShowKey(!selected   ? QString()
                     : uidIsText ? QString::fromStdString(device.m_strUid)
                                 : QString::fromStdString(device.m_strIp));
}

void CDevListCommands::vFormat() {
    if (m_pStation == nullptr || m_pStation->registry().iListSelect() == -1) {
        vShowChooseDevice(&m_window);
        return;
    }
    std::string ipText;
    if (!m_pStation->fgSelectDevIsLogin(&ipText)) {
        return;
    }
    // The address is taken before the question: the selection may change while it is
    // open, and the answer is about this device.
    if (iMessageBoxTips(&m_window, strTrKey("Sure you want to format?")) != kBoxOk) {
        return;
    }
    m_pStation->fgSendToDev(ipText, bufBuildFormatSd());
}

void CDevListCommands::vSendFile(EListCmd command) {
    if (command == EListCmd::kSendApp) {
        KLOG_INFO("home");
    }
    for (const CSendFileEntry& entry : kSendFileEntries) {
        if (entry.m_eCommand == command) {
            m_window.upgrade().vUpgrade(static_cast<int>(entry.m_uiType));
            return;
        }
    }
}

void CDevListCommands::vCopySelected(EListCmd command) {
    CDevInfo devInfo;
    if (!m_pStation->registry().fgGetDevInfoMapValid(devInfo,
                                                     m_pStation->registry().iListSelect())) {
        return;
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(
        QString::fromStdString(command == EListCmd::kCopyUid ? devInfo.m_strUid : devInfo.m_strIp));
}

void CDevListCommands::vGoToWeb() {
    CDevInfo devInfo;
    if (!m_pStation->registry().fgGetDevInfoMapValid(devInfo,
                                                     m_pStation->registry().iListSelect())) {
        return;
    }
    // The address text is always a dotted IPv4 address made by the station itself.
    const QUrl page(QStringLiteral("http://") + QString::fromStdString(devInfo.m_strIp));
    if (!QDesktopServices::openUrl(page)) {
        KLOG_ERR("open %s fail", devInfo.m_strIp.c_str());
    }
}

void CDevListCommands::vPreviewQrCode() {
    CDevInfo devInfo;
    if (!m_pStation->registry().fgGetCurrDevInfo(devInfo)) {
        KLOG_INFO("err dev info");
        return;
    }
    // The picture stays in memory: a file named after a UID from the network could
    // overwrite or delete someone else's file.
    const CQrBitmap bitmap = sMakeQrBitmap(devInfo.m_strUid);
    if (bitmap.m_iError != 0) {
        KLOG_ERR("Qr fail: %s", bitmap.m_strError.c_str());
    }
    CDlgQRcode dialog(devInfo.m_strUid, bitmap, &m_window);
    dialog.exec();
}

void CDevListCommands::vConnectWifiFromMenu() {
    if (m_pStation->registry().iListSelect() == -1) {
        vShowChooseDevice(&m_window);
        return;
    }
    if (!m_pStation->fgSelectDevIsLogin()) {
        return;
    }
    vOpenConnectWifi();
}

void CDevListCommands::vOpenConnectWifi() {
    const CWifiListView* wifiList = m_window.pWifiList();
    const QString ssid = wifiList->strCell(m_iWifiRow, kWifiColSsid).left(kSsidMaxChars);
    const int encryption = wifiList->strCell(m_iWifiRow, kWifiColEncryption).toInt();
    KLOG_INFO("wifi ssid:%s,type=%d", ssid.toStdString().c_str(), encryption);
    CDlgConnectWifi dialog(m_pStation, ssid, encryption, CSettings::instance().m_strWritableDir,
                           &m_window);
    connect(&dialog, &CDlgConnectWifi::sigWifiConnectSent, &m_window, &CclientDlg::vStartWifiPoll);
    dialog.exec();
}

void CDevListCommands::vExportList() {
    const std::string csv = strDevListCsv(m_pStation->registry().vecActiveView());
    vSaveFile(strTrKey("Export list..."), QStringLiteral("devices.csv"),
              QStringLiteral("CSV (*.csv)"), QByteArray::fromStdString(csv));
}

void CDevListCommands::vSaveResults() {
    vSaveFile(strTrKey("Save results..."), QStringLiteral("results.txt"),
              QStringLiteral("Text (*.txt)"), m_window.pResultPane()->strText().toUtf8());
}

void CDevListCommands::vSaveFile(const QString& caption, const QString& fileName,
                                 const QString& filter, const QByteArray& content) {
    const QString path = m_chooseSavePath(&m_window, caption, strWritableFile(fileName), filter);
    if (path.isEmpty()) {
        return;
    }
    if (!fgWriteWholeFile(path, content)) {
        vMessageBoxTipsOk(&m_window,
                          strTrKey("Save file failed") + " " + QDir::toNativeSeparators(path));
        return;
    }
    m_window.PrintLog("\r\n" + strTrKey("Saved to") + " " + QDir::toNativeSeparators(path));
}
