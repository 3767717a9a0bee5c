// The station program: settings, one running copy, the transport, the station core
// and the main window, built here and torn down in the reverse order.

#include <QApplication>
#include <QTimer>
#include <cctype>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/dbg_print.h"
#include "app/settings.h"
#include "app/translate.h"
#include "devsim/dev_sim_fleet.h"
#include "protocol/lan_station.h"
#include "ui/client_dlg.h"
#include "ui/single_instance.h"
#include "ui/start_options.h"
#include "ui/station_view_bridge.h"
#include "ui/ui_helpers.h"
#include "ui/upgrade_bridge.h"
#include "upgrade/upgrader.h"

namespace {
constexpr const char* kInstanceName = "HALYARD";
// Long enough for the search, its repetition and the sort of the replies.
constexpr int kScreenshotDelayMs = 3000;

QString strKey(const char* key) {
    return QString::fromStdString(strTranslate(key));
}

// First address of the demonstration fleet; the station keeps 127.0.0.1.
constexpr const char* kDemoFirstAddress = "127.0.0.2";

// A bench as it looks on the line: now and then a device whose UID was written
// wrong: too short or too long (the list shows those in red) or in lower case.
void vMakeDemoRealistic(devsim::CDevSimFleet& fleet) {
    for (std::size_t index = 3; index < fleet.iDeviceCount(); index += 7) {
        fleet.vUpdateDevice(index, [index](devsim::CSimDeviceState& state, devsim::CSimBehaviour&) {
            switch (index % 3) {
                case 0:
                    state.m_strUid.pop_back();
                    break;
                case 1:
                    state.m_strUid += "X";
                    break;
                default:
                    for (char& c : state.m_strUid) {
                        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                    }
                    break;
            }
        });
    }
}

// Runs the main window until the operator closes it.
void vRunStation(CSingleInstance& instance, const CStartOptions& options) {
    std::optional<devsim::CDevSimFleet> fleet;
    if (options.m_iDemoDevices > 0) {
        std::string error;
        devsim::CDevSimConfig config;
        if (auto addresses = devsim::sConsecutiveAddresses(
                kDemoFirstAddress, static_cast<std::size_t>(options.m_iDemoDevices), error)) {
            config.m_addresses = std::move(*addresses);
            fleet.emplace(std::move(config));
            vMakeDemoRealistic(*fleet);
            if (fleet->iStart(error) != 0) {
                fleet.reset();
            }
        }
        if (!fleet) {
            std::fprintf(stderr, "kestrel: no demonstration fleet: %s\n", error.c_str());
        }
    }

    std::optional<std::vector<CInterfaceAddr>> interfaces;
    if (!options.m_binds.empty()) {
        interfaces = options.m_binds;
    }
    // The composition root: the bridges outlive the station, the transport and the
    // upgrader that call into them; the transport is started by the window and stopped
    // here, before the window and the upgrader (the listener's handler) go.
    CStationViewBridge bridge;
    CUpgradeBridge upgradeBridge;
    CLanStation lan(bridge);
    bridge.vAttachViews(lan.station());
    CUpgrader upgrader(lan.transport(), upgradeBridge);
    lan.transport().vSetUpgradeAcceptHandler(upgrader.fnAcceptHandler());
    CclientDlg window(&lan, &lan.station(), interfaces);
    window.vSetUpgrader(&upgrader);
    bridge.vAttach(&window);
    upgradeBridge.vAttach(&window);
    window.vInitDialog();
    instance.vSetWindow(&window);
    // SIGTERM and SIGINT close the window as its close box does.
    QObject::connect(&instance, &CSingleInstance::sigStopRequested, &window, &QWidget::close);
    if (!options.m_strScreenshot.empty()) {
        QTimer::singleShot(kScreenshotDelayMs, &window, [&window, &options] {
            if (!window.grab().save(QString::fromStdString(options.m_strScreenshot), "PNG")) {
                std::fprintf(stderr, "kestrel: cannot write %s\n", options.m_strScreenshot.c_str());
            }
            window.done(QDialog::Rejected);
        });
    }
    if (window.exec() == QDialog::Accepted) {
        vDbgPrint("camkit:%s, %d=>exit########\r\n", "CclientApp::InitInstance", __LINE__);
    }
    instance.vSetWindow(nullptr);
    // The receive thread ends before anything it calls into goes away.
    lan.vStop();
    bridge.vAttach(nullptr);
    upgradeBridge.vAttach(nullptr);
}
}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestrel"));

    std::vector<std::string> args;
    for (int at = 1; at < argc; ++at) {
        args.emplace_back(argv[at]);
    }
    const CStartOptions options = sParseStartOptions(args);
    if (!options.m_strError.empty()) {
        std::fprintf(stderr,
                     "kestrel: %s\nusage: kestrel [--bind ADDR/PREFIX]... [--demo [N]] "
                     "[--screenshot FILE]\n",
                     options.m_strError.c_str());
        return 2;
    }

    vSettingInit(CSettings::instance());

    CSingleInstance instance(QString::fromLatin1(kInstanceName));
    switch (instance.eAcquire()) {
        case EInstanceRole::kFailed:
            vMessageBoxTipsOk(nullptr, strKey("Initialise failed"));
            return 0;
        case EInstanceRole::kOtherShown:
            return 0;
        case EInstanceRole::kOtherWithoutWindow:
            vMessageBoxTipsOk(nullptr, strKey("Tool is already running!"));
            return 0;
        case EInstanceRole::kFirst:
            break;
    }
    instance.vStopOnSignals();

    vRunStation(instance, options);
    vDbgPrint("camkit:%s, %d=>all exit\r\n", "CclientApp::InitInstance", __LINE__);
    return 0;
}
