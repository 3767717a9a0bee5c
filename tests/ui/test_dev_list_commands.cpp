// The commands of the main window's lists: the device list's context menu, the Wi-Fi
// list's menu and double click, "Format", and the two file commands. A real station
// core and window, with a sender that records every datagram instead of a network;
// the devices are logged in already, so the login check sends nothing.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "app/settings.h"
#include "codec/qr_reader.h"
#include "devsim/sim_wire.h"
#include "dialog_test_support.h"
#include "fleet_test.h"
#include "fleet_window.h"
#include "protocol/dev_list_format.h"
#include "support/temp_dir.h"
#include "ui/client_dlg.h"
#include "ui/dev_list_commands.h"
#include "ui/device_list_model.h"
#include "ui/device_list_view.h"
#include "ui/dlg_qrcode.h"
#include "ui/main_controls.h"
#include "ui/ownerdraw_tab_ctrl.h"
#include "ui/pages/dlg_set_uid.h"
#include "ui/result_pane.h"
#include "ui/station_view_bridge.h"

namespace {

constexpr int kDevices = 3;
constexpr const char* kIps[kDevices] = {"192.168.1.20", "192.168.1.21", "192.168.1.22"};
constexpr const char* kUids[kDevices] = {"AAAA0000000000000001", "BBBB0000000000000002",
                                         "CCCC0000000000000003"};
constexpr std::uint8_t kCodeWifiStatusQuery = 0x4F;
constexpr std::uint8_t kCodeConnectWifi = 0x1D;

std::string strFileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

void vRightClick(QAbstractItemView& view, int row) {
    const QPoint at = view.visualRect(view.model()->index(row, 1)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view.viewport()->mapToGlobal(at));
    QApplication::sendEvent(view.viewport(), &event);
}

// Answers the next dialog: the text goes into its (first) edit, then OK.
void vAnswerNextDialog(const QString& text) {
    vCloseNextModal([text](QWidget& dialog) {
        dialog.findChild<QLineEdit*>()->setText(text);
        for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
            if (button->text() == "OK") {
                button->click();
                return;
            }
        }
        ADD_FAILURE() << "no OK button";
    });
}

// Receives the URLs the window opens instead of the desktop's browser.
class CUrlCatcher : public QObject {
    Q_OBJECT

  public:
    QList<QUrl> m_urls;

  public slots:
    void vOpen(const QUrl& url) { m_urls.append(url); }
};

class DevListCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // The stores of the window and of the Wi-Fi dialog live in a folder of the test.
        m_strSavedWritableDir = CSettings::instance().m_strWritableDir;
        CSettings::instance().m_strWritableDir = m_dir.path().string() + "/";
        m_window.emplace(nullptr, &m_station, std::nullopt);
        m_bridge.vAttachViews(m_station);
        m_bridge.vAttach(&*m_window);
        m_window->vInitDialog();
        for (int device = 0; device < kDevices; ++device) {
            registry().sAddOrUpdateDevice(sMakeDev(kIps[device], kUids[device]));
            registry().vSetDevLoginState(uiAddr(kIps[device]), kLoginAccepted);
        }
        ASSERT_EQ(kDevices, m_window->pDevListModel()->rowCount());
        m_sender.vClear();
    }

    void TearDown() override {
        m_bridge.vAttach(nullptr);
        m_window.reset();
        CSettings::instance().m_strWritableDir = m_strSavedWritableDir;
    }

    CDevRegistry& registry() { return m_station.registry(); }

    void vRightClickRow(int row) { vRightClick(*m_window->pDevList(), row); }
    void vRightClickWifiRow(int row) { vRightClick(*m_window->pWifiList(), row); }
    void vDoubleClickWifiRow(int row) {
        CWifiListView& wifi = *m_window->pWifiList();
        const QPoint at = wifi.visualRect(wifi.model()->index(row, 1)).center();
        // A double click is a click followed by the double-click press.
        QTest::mouseClick(wifi.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(wifi.viewport(), Qt::LeftButton, {}, at);
    }

    // Datagrams to one device with one command code.
    std::vector<CSentDatagram> vecSentWithCode(const std::string& ip, std::uint8_t code) const {
        std::vector<CSentDatagram> found;
        for (const CSentDatagram& sent : m_sender.vecSent()) {
            if (sent.strTarget() == ip && sent.m_bytes.size() > 1 && sent.m_bytes[1] == code) {
                found.push_back(sent);
            }
        }
        return found;
    }

    void vChooseSavePath(const std::string& path) {
        m_window->commands().vSetSavePathChooser(
            [path](QWidget*, const QString&, const QString&, const QString&) {
                return QString::fromStdString(path);
            });
    }

    CTempDir m_dir;
    std::string m_strSavedWritableDir;
    CFakeSender m_sender;
    CStationViewBridge m_bridge;
    CStation m_station{m_sender, m_bridge};
    std::optional<CclientDlg> m_window;
};

TEST_F(DevListCommandsTest, RightClickAddsTheRowToThePoolAndCopiesItsTexts) {
    m_station.sSelectRow(0);
    m_sender.vClear();
    QStringList entries;
    QStringList submenu;
    vPickFromNextMenu({"Copy UID"}, [&entries, &submenu](QMenu& menu) {
        entries = strsMenuTexts(menu);
        submenu = strsMenuTexts(*menu.actions().at(2)->menu());
    });
    vRightClickRow(2);
    EXPECT_EQ((QStringList{"Refresh", "Modify UID", "Make updgrade file", "Send file", "Copy UID",
                           "Copy IP", "Go to web", "Modify Password", "Preview QR code", "",
                           "Export list...", "Save results...", "Line check...", "History..."}),
              entries);
    EXPECT_EQ(QStringList{"All files"}, submenu);
    EXPECT_EQ(2, registry().iListSelect());
    EXPECT_EQ((std::vector<int>{0, 2}), registry().vecPool()) << "the earlier tick stays";
    EXPECT_TRUE(m_window->pDevListModel()->fgIsChecked(2));
    EXPECT_EQ(kUids[2], QGuiApplication::clipboard()->text());

    vPickFromNextMenu({"Copy IP"});
    vRightClickRow(1);
    EXPECT_EQ(kIps[1], QGuiApplication::clipboard()->text());
    EXPECT_EQ((std::vector<int>{0, 2, 1}), registry().vecPool());
    EXPECT_TRUE(m_sender.vecSent().empty()) << "copying sends nothing";
}

TEST_F(DevListCommandsTest, MenuCommandsReachTheRightClickedDevice) {
    vPickFromNextMenu({"Make updgrade file", "All files"});
    vRightClickRow(1);
    std::vector<CSentDatagram> sent = m_sender.vecSent();
    ASSERT_EQ(1U, sent.size());
    EXPECT_EQ(kIps[1], sent[0].strTarget());
    std::vector<std::uint8_t> makeFile(16, 0);
    makeFile[0] = 0xA8;
    makeFile[1] = 0x15;
    makeFile[12] = 0x1C;
    EXPECT_EQ(makeFile, sent[0].m_bytes);

    m_sender.vClear();
    vAnswerNextDialog("new-secret");
    vPickFromNextMenu({"Modify Password"});
    vRightClickRow(2);
    sent = m_sender.vecSent();
    ASSERT_EQ(1U, sent.size());
    EXPECT_EQ(kIps[2], sent[0].strTarget());
    ASSERT_EQ(80U, sent[0].m_bytes.size());
    EXPECT_EQ(0x36, sent[0].m_bytes[1]);
    EXPECT_EQ("new-secret", strField(sent[0], 48, 32));

    m_sender.vClear();
    vCloseNextModal([](QWidget& dialog) {
        EXPECT_EQ("Setting Uid", dialog.windowTitle());
        QTest::keyClicks(dialog.findChild<QLineEdit*>(), "ZZZZ0123456789ABCDEF");
    });
    vPickFromNextMenu({"Modify UID"});
    vRightClickRow(0);
    sent = m_sender.vecSent();
    ASSERT_EQ(1U, sent.size()) << "the twentieth character sends once and closes the dialog";
    EXPECT_EQ(kIps[0], sent[0].strTarget());
    EXPECT_EQ(37U, sent[0].m_bytes.size());
    EXPECT_EQ("ZZZZ0123456789ABCDEF", strBytes(sent[0], 16, 20));

    CUrlCatcher catcher;
    QDesktopServices::setUrlHandler("http", &catcher, "vOpen");
    vPickFromNextMenu({"Go to web"});
    vRightClickRow(1);
    QDesktopServices::unsetUrlHandler("http");
    EXPECT_EQ(QList<QUrl>{QUrl("http://192.168.1.21")}, catcher.m_urls);

    // The start-up search repeats itself once after 100 ms; only then is the count
    // of searches the menu's alone.
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return !m_window->fgTimerActive(EDlgTimer::kSearchAgain); }));
    m_sender.vClear();
    vPickFromNextMenu({"Refresh"});
    vRightClickRow(1);
    // "Refresh" searches at once and once more a moment later.
    EXPECT_LE(1, m_sender.iSearches());
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_sender.iSearches() == 2; }, 5000));
    EXPECT_EQ(0, m_window->pDevListModel()->rowCount());
    EXPECT_EQ(-1, registry().iListSelect());
}

TEST_F(DevListCommandsTest, PreviewQrCodeShowsTheUidAsACodeOrSaysWhyItCannot) {
    registry().sAddOrUpdateDevice(sMakeDev("192.168.1.23", "KSTR-a1B2C3-D4E5F6-7"));
    struct CRow {
        int m_iRow;
        std::string m_strUid;
        const char* m_reason;  // null: a picture that decodes to the UID
    };
    const CRow rows[] = {{1, kUids[1], nullptr},
                         {3, "KSTR-a1B2C3-D4E5F6-7", "character 'a' at position 6"}};
    for (const CRow& row : rows) {
        QString title;
        QString text;
        std::vector<std::string> decoded;
        vCloseNextModal([&](QWidget& modal) {
            const auto& dialog = dynamic_cast<CDlgQRcode&>(modal);
            title = dialog.windowTitle();
            const QLabel& picture = *dialog.pPicture();
            text = picture.text();
            const QImage image =
                picture.pixmap().toImage().convertToFormat(QImage::Format_Grayscale8);
            if (image.isNull()) {
                return;
            }
            EXPECT_EQ(QSize(264, 264), image.size());
            const QPoint offCentre = picture.geometry().center() - dialog.rect().center();
            EXPECT_LE(offCentre.manhattanLength(), 2) << "the picture sits in the middle";
            std::vector<std::uint8_t> grey;
            for (int y = 0; y < image.height(); ++y) {
                grey.insert(grey.end(), image.constScanLine(y),
                            image.constScanLine(y) + image.width());
            }
            decoded = vecReadQrGrey(grey, image.width(), image.height());
        });
        vPickFromNextMenu({"Preview QR code"});
        vRightClickRow(row.m_iRow);
        EXPECT_EQ(QString::fromStdString(row.m_strUid), title);
        if (row.m_reason == nullptr) {
            EXPECT_EQ(std::vector<std::string>{row.m_strUid}, decoded);
        } else {
            EXPECT_TRUE(decoded.empty());
            EXPECT_TRUE(text.contains(row.m_reason)) << text.toStdString();
        }
        EXPECT_FALSE(QFile::exists(QString::fromStdString(row.m_strUid + ".bmp")))
            << "nothing is written beside the program";
    }
    EXPECT_TRUE(m_sender.vecSent().empty());
}

TEST_F(DevListCommandsTest, FormatAsksFirstAndSendsOnlyOnOk) {
    auto* format = qobject_cast<QPushButton*>(m_window->pControl(kIdcFormat));
    const auto refused = psWatchNextBox();
    QTest::mouseClick(format, Qt::LeftButton);
    EXPECT_EQ("Please choose a device", refused->m_strText);
    EXPECT_TRUE(m_sender.vecSent().empty());

    registry().vSetListSelect(1);
    struct Row {
        QMessageBox::StandardButton answer;
        bool sends;
    };
    for (const Row& row : {Row{QMessageBox::Cancel, false}, Row{QMessageBox::Ok, true}}) {
        m_sender.vClear();
        QString asked;
        vCloseNextModal([&asked, &row](QWidget& modal) {
            auto& box = dynamic_cast<QMessageBox&>(modal);
            asked = box.windowTitle() + "|" + box.text();
            box.button(row.answer)->click();
        });
        QTest::mouseClick(format, Qt::LeftButton);
        EXPECT_EQ("TIPS|Sure you want to format?", asked);
        const std::vector<CSentDatagram> sent = m_sender.vecSent();
        if (!row.sends) {
            EXPECT_TRUE(sent.empty());
            continue;
        }
        ASSERT_EQ(1U, sent.size());
        EXPECT_EQ(kIps[1], sent[0].strTarget());
        EXPECT_EQ(kPortCommand, sent[0].m_usPort);
        std::vector<std::uint8_t> formatSd(16, 0);
        formatSd[0] = 0xA8;
        formatSd[1] = 0x0E;
        EXPECT_EQ(formatSd, sent[0].m_bytes);
    }
}

TEST_F(DevListCommandsTest, WifiConnectPollsTenTimesThenStops) {
    EXPECT_EQ(4000, m_window->iTimerPeriodMs(EDlgTimer::kWifiPoll));
    // Ten queries at 4 s take 40 s; the same ten, 10 ms apart.
    m_window->vSetTimerPeriod(EDlgTimer::kWifiPoll, 10);
    m_window->vAddWifiRow("Kestrel-Lab", 82, 4);
    const auto refused = psWatchNextBox();
    vPickFromNextMenu({"Connect Wifi"});
    vRightClickWifiRow(0);
    EXPECT_EQ("Please choose a device", refused->m_strText);

    registry().vSetListSelect(1);
    vAnswerNextDialog("labpass123");
    vPickFromNextMenu({"Connect Wifi"});
    vRightClickWifiRow(0);
    const std::vector<CSentDatagram> connect = vecSentWithCode(kIps[1], kCodeConnectWifi);
    ASSERT_EQ(1U, connect.size());
    EXPECT_EQ("labpass123", strField(connect[0], 20, 64));
    EXPECT_EQ("Kestrel-Lab", strField(connect[0], 84, 32));
    EXPECT_EQ(4, connect[0].m_bytes[16]);
    ASSERT_TRUE(m_window->fgTimerActive(EDlgTimer::kWifiPoll));

    ASSERT_TRUE(
        QTest::qWaitFor([this] { return !m_window->fgTimerActive(EDlgTimer::kWifiPoll); }, 5000));
    EXPECT_EQ(10U, vecSentWithCode(kIps[1], kCodeWifiStatusQuery).size());
    for (const CSentDatagram& query : vecSentWithCode(kIps[1], kCodeWifiStatusQuery)) {
        EXPECT_EQ(16U, query.m_bytes.size());
    }
}

TEST_F(DevListCommandsTest, WifiPollingStopsAtTheDevicesAnswer) {
    m_window->vSetTimerPeriod(EDlgTimer::kWifiPoll, 10);
    registry().vSetListSelect(1);
    m_window->vAddWifiRow("Kestrel-Lab", 82, 4);
    // The device has joined by the third status query and says so.
    m_sender.m_onSend = [this](const CSentDatagram& sent) {
        if (sent.m_bytes[1] == kCodeWifiStatusQuery &&
            vecSentWithCode(kIps[1], kCodeWifiStatusQuery).size() == 3) {
            m_station.vParseLanInfo(devsim::sBuildWifiConnectedReply("Kestrel-Lab"),
                                    uiAddr(kIps[1]));
        }
    };
    vAnswerNextDialog("labpass123");
    vDoubleClickWifiRow(0);
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return !m_window->fgTimerActive(EDlgTimer::kWifiPoll); }, 5000));
    m_sender.m_onSend = nullptr;
    EXPECT_EQ(3U, vecSentWithCode(kIps[1], kCodeWifiStatusQuery).size());
    EXPECT_EQ("Connected Wifi:  Kestrel-Lab",
              qobject_cast<QLabel*>(m_window->pControl(kIdcWifiStatus))->text());
}

TEST_F(DevListCommandsTest, AnSsidOfMoreThan31Utf8BytesGoesOutEmpty) {
    registry().vSetListSelect(0);
    struct Row {
        const char* ssid;  // eight characters of three bytes each, then ASCII
        bool sentAsIs;
    };
    for (const Row& row :
         {Row{"产线无线网络测试Kestrel", true}, Row{"产线无线网络测试Kestrel!", false}}) {
        m_sender.vClear();
        m_window->pWifiList()->vClear();
        m_window->vAddWifiRow(QString::fromUtf8(row.ssid), 60, 0);
        vAnswerNextDialog("");
        vDoubleClickWifiRow(0);
        const std::vector<CSentDatagram> connect = vecSentWithCode(kIps[0], kCodeConnectWifi);
        ASSERT_EQ(1U, connect.size()) << row.ssid;
        ASSERT_EQ(116U, connect[0].m_bytes.size());
        EXPECT_EQ(row.sentAsIs ? std::string(row.ssid) : std::string(),
                  strField(connect[0], 84, 32))
            << std::string(row.ssid).size() << " bytes";
        EXPECT_EQ(std::string(), strField(connect[0], 20, 64)) << "an empty password";
    }
}

TEST_F(DevListCommandsTest, ExportListWritesTheActiveViewAsCsv) {
    const std::string path = m_dir.file("devices.csv");
    QString suggested;
    m_window->commands().vSetSavePathChooser([&path, &suggested](QWidget*, const QString&,
                                                                 const QString& suggestedPath,
                                                                 const QString&) {
        suggested = suggestedPath;
        return QString::fromStdString(path);
    });
    vPickFromNextMenu({"Export list..."});
    vRightClickRow(0);
    const std::string csv = strFileText(path);
    EXPECT_EQ(strDevListCsv(registry().vecActiveView()), csv);
    for (const char* uid : kUids) {
        EXPECT_NE(std::string::npos, csv.find(uid)) << uid;
    }
    EXPECT_EQ(QString::fromStdString(m_dir.file("devices.csv")), suggested)
        << "suggested beside the program";
    EXPECT_TRUE(
        m_window->pResultPane()->strText().endsWith("\nSaved to " + QString::fromStdString(path)));

    std::filesystem::remove(path);
    vChooseSavePath("");
    vPickFromNextMenu({"Export list..."});
    vRightClickRow(0);
    EXPECT_FALSE(std::filesystem::exists(path)) << "cancelled";
}

TEST_F(DevListCommandsTest, SaveResultsWritesThePaneText) {
    CResultPane& pane = *m_window->pResultPane();
    m_window->PrintLog("\r\n192.168.1.20 Format SD card success");
    m_window->PrintLog("\r\n192.168.1.21 Modify password success");
    const QString shown = pane.strText();
    const std::string path = m_dir.file("results.txt");
    vChooseSavePath(path);
    vPickFromNextMenu({"Save results..."});
    const QPoint at = pane.viewport()->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, pane.viewport()->mapToGlobal(at));
    QApplication::sendEvent(pane.viewport(), &event);
    EXPECT_EQ(shown.toStdString(), strFileText(path));
    EXPECT_EQ(
        "Start server success...\n192.168.1.20 Format SD card success\n"
        "192.168.1.21 Modify password success",
        strFileText(path));

    // Also from the device list's menu; a file that cannot be written is refused.
    const std::string unwritable = m_dir.file("missing/results.txt");
    vChooseSavePath(unwritable);
    const auto box = psWatchNextBox();
    vPickFromNextMenu({"Save results..."});
    vRightClickRow(0);
    EXPECT_EQ("Save file failed " + QString::fromStdString(unwritable), box->m_strText);
    EXPECT_FALSE(std::filesystem::exists(unwritable));
}

// The same window in front of simulated devices on loopback.
class FleetCommandsTest : public CFleetFolderTest {};

TEST_F(FleetCommandsTest, ScanningAUidIntoThePageWritesItToTheSelectedDevice) {
    CFleetWindow bench;
    const std::string error = bench.strStart(3);
    ASSERT_TRUE(error.empty()) << error;
    ASSERT_TRUE(bench.fgSelectAndLogIn("127.0.0.3"));
    bench.window().pTabCtrl()->vSetCurSel(1);
    auto* page = qobject_cast<CDlgSetUid*>(bench.window().pPage(1));
    ASSERT_NE(nullptr, page);

    const QString uid = "NEWU0123456789ABCDEF";
    QTest::keyClicks(page->pUidEdit(), uid);
    ASSERT_TRUE(QTest::qWaitFor(
        [&bench, &uid] { return bench.fleet().sDeviceState(1).m_strUid == uid.toStdString(); },
        CFleetWindow::kWaitMs));
    ASSERT_TRUE(QTest::qWaitFor(
        [&bench, &uid] {
            return bench.window().pResultPane()->strText().endsWith("\n127.0.0.3 Set uid success " +
                                                                    uid);
        },
        CFleetWindow::kWaitMs));
    // The station asks the device again, and its row shows the new UID.
    ASSERT_TRUE(QTest::qWaitFor(
        [&bench, &uid] {
            const int row = bench.iRowOf("127.0.0.3");
            return row >= 0 && bench.model().psRow(row)->m_strUid == uid.toStdString();
        },
        CFleetWindow::kWaitMs));
    EXPECT_EQ(1, bench.station().devCmd().iSetUidSuccessCount());
}

TEST_F(FleetCommandsTest, WifiConnectPollsUntilTheDeviceHasJoined) {
    constexpr int kJoinMs = 400;
    constexpr int kPollMs = 150;
    CFleetWindow bench;
    const std::string error = bench.strStart(
        2, [](std::size_t, devsim::CSimDeviceState& state, devsim::CSimBehaviour& behaviour) {
            state.m_iWifiConnected = 0;
            behaviour.m_iWifiConnectMs = kJoinMs;
        });
    ASSERT_TRUE(error.empty()) << error;
    bench.window().vSetTimerPeriod(EDlgTimer::kWifiPoll, kPollMs);
    ASSERT_TRUE(bench.fgSelectAndLogIn("127.0.0.2"));
    CWifiListView& wifi = *bench.window().pWifiList();
    ASSERT_TRUE(QTest::qWaitFor([&wifi] { return wifi.iRowCount() == 4; }, CFleetWindow::kWaitMs));
    ASSERT_EQ("Kestrel-Lab", wifi.strCell(0, 1));
    auto* status = qobject_cast<QLabel*>(bench.window().pControl(kIdcWifiStatus));
    EXPECT_EQ("Not connected", status->text());

    const std::uint32_t requestsBefore = bench.fleet().sDeviceState(0).m_uiRequests;
    vAnswerNextDialog("labpass123");
    vPickFromNextMenu({"Connect Wifi"});
    vRightClick(wifi, 0);
    ASSERT_TRUE(bench.window().fgTimerActive(EDlgTimer::kWifiPoll));
    ASSERT_TRUE(
        QTest::qWaitFor([&bench] { return !bench.window().fgTimerActive(EDlgTimer::kWifiPoll); },
                        CFleetWindow::kWaitMs));
    EXPECT_EQ(1, bench.fleet().sDeviceState(0).m_iWifiConnected);
    EXPECT_EQ("Connected Wifi:  Kestrel-Lab", status->text());
    // The connect request, then status queries until the device had joined.
    const std::uint32_t queries = bench.fleet().sDeviceState(0).m_uiRequests - requestsBefore - 1;
    EXPECT_GE(queries, 1U);
    EXPECT_LT(queries, 10U) << "the answer ended the polling";
}

}  // namespace

#include "test_dev_list_commands.moc"

// The login check of a device that does not answer takes its six short waits, but the
// window goes on meanwhile: timers fire and queued calls run during every check, where
// a sleeping check would freeze the window for a quarter of a second per device.
TEST_F(DevListCommandsTest, LoginChecksOfSilentDevicesKeepTheWindowAlive) {
    constexpr int kSilent = 20;
    for (int device = 0; device < kSilent; ++device) {
        registry().sAddOrUpdateDevice(sMakeDev("10.20.0." + std::to_string(device + 1)));
    }
    // The start-up sort would move the rows while the first checks run.
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return !m_window->fgTimerActive(EDlgTimer::kSort); }, 5000));
    m_window->pTabCtrl()->vSetCurSel(1);
    auto* edit = m_window->pPage(1)->findChild<QLineEdit*>();
    auto* ok = m_window->pPage(1)->findChild<QPushButton*>();
    ASSERT_NE(edit, nullptr);
    ASSERT_NE(ok, nullptr);
    edit->setText("KSTZ-000026-ZYXWVUT");  // one character short: only OK sends

    int beats = 0;
    qint64 longestGapMs = 0;
    QElapsedTimer sinceBeat;
    QTimer heartbeat;
    heartbeat.setInterval(5);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        longestGapMs = std::max(longestGapMs, sinceBeat.restart());
        ++beats;
    });
    for (int device = 0; device < kSilent; ++device) {
        const std::string ip = "10.20.0." + std::to_string(device + 1);
        const std::vector<CDevInfo> rows = registry().vecActiveView();
        const auto row = std::find_if(rows.begin(), rows.end(), [&ip](const CDevInfo& devInfo) {
            return devInfo.m_strIp == ip;
        });
        ASSERT_NE(row, rows.end());
        registry().vSetListSelect(static_cast<int>(row - rows.begin()));
        m_sender.vClear();
        heartbeat.start();
        sinceBeat.start();
        const int beatsBefore = beats;
        QTest::mouseClick(ok, Qt::LeftButton);
        EXPECT_GT(beats, beatsBefore) << "the window ran during the check of device " << device;
        heartbeat.stop();
        EXPECT_EQ(2U, vecSentWithCode(ip, kCmdLogin).size()) << "two login requests, as before";
    }
    ASSERT_TRUE(QTest::qWaitFor(
        [this] {
            return m_window->pResultPane()->strText().count("login no recv response") == kSilent;
        },
        5000));
    std::printf("[ measure  ] longest event-loop stall over %d login checks: %lld ms\n", kSilent,
                static_cast<long long>(longestGapMs));
}
