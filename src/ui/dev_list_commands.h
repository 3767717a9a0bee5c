#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <memory>
#include <utility>

#include "ui/ui_helpers.h"

class CclientDlg;
class CStation;
class QMenu;

// The commands of the lists' context menus, by menu id.
enum class EListCmd : int {
    kRefresh = 32794,
    kModifyUid = 32779,
    kMakeUpgradeFile = 32781,
    kSendUboot = 32784,
    kSendEnv = 32785,
    kSendKernel = 32786,
    kSendRootfs = 32787,
    kSendConfig = 32788,
    kSendApp = 32789,
    kSendOthers = 32790,
    kRetryUpgrade = 32802,
    kCopyUid = 32783,
    kCopyIp = 32791,
    kGoToWeb = 32792,
    kModifyPassword = 32793,
    kPreviewQrCode = 32799,
    kConnectWifi = 32796,
    kExportList = 32800,
    kSaveResults = 32801,
    kLineCheck = 32803,
    kHistory = 32804,
    kUpgradePanel = 32805,
};

// What the operator does to devices through the main window's lists: the device
// list's context menu, the Wi-Fi list's menu and double click, the "Format" button and
// the result pane's "Save results...". It decides which device a command is for and
// asks first where a command needs it; the station core builds and sends every
// request. UI thread only.
//
// Device list menu (a right-click on a row selects that row and adds it to the pool,
// so earlier ticks stay): "Refresh", "Modify UID", "Make updgrade file" > "All files",
// "Send file" > the seven file types and "Retry failed" (every ticked device gets the
// files, see CUpgradeCommands), "Copy UID", "Copy IP", "Go to web", "Modify Password", "Preview QR
// code", then "Export list...", "Save results...", "Line check..." (opens the line check
// dialog) and "History..." (the selected device's recorded jobs). Commands on the selected row's
// record do nothing when the row has none.
class CDevListCommands : public QObject {
    Q_OBJECT

  public:
    // Longest SSID taken from the Wi-Fi list, in characters.
    static constexpr int kSsidMaxChars = 127;

    // window owns this object; station may be null (a window without devices: every
    // command then does nothing).
    CDevListCommands(CclientDlg& window, CStation* station);

    // The menus, built anew for every right-click; every command entry carries its
    // EListCmd in data().
    std::unique_ptr<QMenu> psDevListMenu() const;
    std::unique_ptr<QMenu> psWifiMenu() const;

    void vOnDevListRightClick(int row, QPoint globalPos);
    void vOnWifiRightClick(int row, QPoint globalPos);
    // Opens the connect dialog for the row's network, without the selection and login
    // checks of the menu command.
    void vOnWifiDoubleClick(int row);
    // The result pane's own menu with "Save results..." added; pos in the coordinates
    // of the pane's viewport.
    void vOnResultPaneMenu(QPoint pos);

    void vRunCommand(EListCmd command);

    // "Format": without a selected device "Please choose a device"; then the login
    // check; then "Sure you want to format?", and only on OK the format request goes to
    // the device the question was about.
    void vFormat();

    // Where "Export list..." and "Save results..." ask for their file (default: the
    // save dialog).
    void vSetSavePathChooser(FChooseSavePath chooser) { m_chooseSavePath = std::move(chooser); }

  private:
    // A "Send file" entry: the upgrade command of its file type.
    void vSendFile(EListCmd command);
    void vCopySelected(EListCmd command);
    void vGoToWeb();
    void vPreviewQrCode();
    // The history dialog for the selected device (its UID; its address when the UID is
    // empty or not text), or the bench's latest records.
    void vOpenHistory();
    void vConnectWifiFromMenu();
    void vOpenConnectWifi();
    void vExportList();
    void vSaveResults();
    void vSaveFile(const QString& caption, const QString& fileName, const QString& filter,
                   const QByteArray& content);

    CclientDlg& m_window;
    CStation* m_pStation;
    FChooseSavePath m_chooseSavePath;
    int m_iWifiRow = -1;  // the Wi-Fi row last right-clicked or double-clicked
};
