// The window's firmware upgrade against simulated devices on loopback: the files go
// out through the "Upgrade" button and the "Send file" menu to every ticked device,
// the panel follows each device to its end, and "Retry failed" sends to the devices
// that failed only.

#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <cstdint>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/settings.h"
#include "devsim/sim_upgrade_wire.h"
#include "fleet_test.h"
#include "fleet_window.h"
#include "history/history_store.h"
#include "support/temp_dir.h"
#include "ui/main_controls.h"
#include "ui/result_pane.h"
#include "ui/upgrade_commands.h"
#include "ui_test_env.h"

namespace {

constexpr int kUpgradeWaitMs = 30000;

class UpgradeWindowTest : public CFleetFolderTest {
  protected:
    // A file of `bytes` pseudo-random bytes in the test's folder, and its SHA-256.
    devsim::CSimUpgFile sWriteFile(const std::string& name, std::size_t bytes, std::uint32_t type) {
        std::vector<std::uint8_t> content(bytes);
        std::mt19937 random(static_cast<std::uint32_t>(bytes));
        for (std::uint8_t& byte : content) {
            byte = static_cast<std::uint8_t>(random());
        }
        std::ofstream(m_dir.path() / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(content.data()),
                   static_cast<std::streamsize>(content.size()));
        devsim::CSimSha256 sha;
        sha.vUpdate(content);
        return devsim::CSimUpgFile{name, type, bytes, sha.strHexDigest()};
    }
    QString strPath(const std::string& name) const {
        return QString::fromStdString((m_dir.path() / name).string());
    }

    // The operator ticks the rows of the devices at the addresses.
    static void vTick(CFleetWindow& bench, const std::vector<std::string>& ips) {
        for (const std::string& ip : ips) {
            const int row = bench.iRowOf(ip);
            ASSERT_GE(row, 0) << ip;
            bench.model().setData(bench.model().index(row, 0), Qt::Checked, Qt::CheckStateRole);
        }
        ASSERT_EQ(ips.size(), bench.registry().vecPool().size());
    }

    static void vRightClick(CFleetWindow& bench, const std::string& ip) {
        CDevListView& view = bench.view();
        const QPoint at = view.visualRect(bench.model().index(bench.iRowOf(ip), 1)).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, view.viewport()->mapToGlobal(at));
        QApplication::sendEvent(view.viewport(), &event);
    }

    static bool fgWaitForPane(CFleetWindow& bench, const QString& text) {
        return QTest::qWaitFor(
            [&bench, &text] { return bench.window().pResultPane()->strText().contains(text); },
            kUpgradeWaitMs);
    }
};

TEST_F(UpgradeWindowTest, UpgradeButtonSendsTheChosenFileToEveryTickedDevice) {
    CFleetWindow bench;
    const std::string error = bench.strStart(3);
    ASSERT_TRUE(error.empty()) << error;
    // Large enough for many chunks, so the panel has progress to show on the way.
    const devsim::CSimUpgFile kernel =
        sWriteFile("kernel.bin", std::size_t{3} * 1024 * 1024 + 17, 0x3333);
    bench.window().upgrade().vSetFileChoosers(
        [](QWidget*) {
            ADD_FAILURE() << "the button asks for any number of files";
            return QString();
        },
        [this](QWidget*) { return QStringList{strPath("kernel.bin")}; });

    bench.vClickRow(bench.iRowOf("127.0.0.2"));
    vTick(bench, {"127.0.0.2", "127.0.0.4"});
    qobject_cast<QPushButton*>(bench.window().pControl(kIdcUpgrade))->click();

    ASSERT_TRUE(fgWaitForPane(bench, "Upgrade: 2 succeeded, 0 failed, 0 no answer"))
        << bench.window().pResultPane()->strText().toStdString();
    const QString pane = bench.window().pResultPane()->strText();
    for (const char* ip : {"127.0.0.2", "127.0.0.4"}) {
        EXPECT_TRUE(pane.contains(QStringLiteral("\n%1 send kernel file success").arg(ip))) << ip;
        EXPECT_TRUE(pane.contains(QStringLiteral("recv dev resp,%1 Upgrade success").arg(ip)))
            << ip;
    }
    EXPECT_EQ(std::vector<devsim::CSimUpgFile>{kernel}, bench.fleet().sDeviceState(0).m_upgFiles);
    EXPECT_EQ(std::vector<devsim::CSimUpgFile>{kernel}, bench.fleet().sDeviceState(2).m_upgFiles);
    EXPECT_TRUE(bench.fleet().sDeviceState(1).m_upgFiles.empty()) << "not ticked";

    const CUpgradeCommands& upgrade = bench.window().upgrade();
    ASSERT_EQ(2, upgrade.iPanelRows());
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ("100%", upgrade.strPanelCell(row, 2)) << row;
        EXPECT_EQ("succeeded", upgrade.strPanelCell(row, 3)) << row;
    }
    EXPECT_FALSE(upgrade.fgCanRetry());

    // Each device's history has the upgrade with the file's SHA-256 (the recorder writes
    // on its own thread).
    std::vector<CDeviceRecord> records;
    ASSERT_TRUE(QTest::qWaitFor(
        [this, &records] {
            std::string readError;
            const auto history =
                CHistoryStore::psOpen({m_dir.file("history.sqlite"), {}}, readError);
            CHistoryQuery upgrades;
            upgrades.m_strKind = "upgrade";
            EHistorySource source = EHistorySource::kLocal;
            records.clear();
            return history && history->fgQuery(upgrades, records, source, readError) &&
                   records.size() == 2;
        },
        kUpgradeWaitMs));
    for (const CDeviceRecord& record : records) {
        EXPECT_EQ(EJobOutcome::kPass, record.m_eOutcome) << record.m_strAddress;
        ASSERT_EQ(1U, record.m_files.size());
        EXPECT_EQ(kernel.m_strSha256, record.m_files[0].m_strSha256);
        EXPECT_EQ("kernel.bin", record.m_files[0].m_strName);
    }
}

TEST_F(UpgradeWindowTest, SendFileRejectsAnotherTypeAndRetryFailedResendsOnlyTheFailedDevice) {
    CFleetWindow bench;
    const std::string error = bench.strStart(
        2, [](std::size_t index, devsim::CSimDeviceState&, devsim::CSimBehaviour& behaviour) {
            if (index == 1) {
                behaviour.m_eUpgFault = devsim::EUpgFault::kAnswerFailed;
            }
        });
    ASSERT_TRUE(error.empty()) << error;
    const devsim::CSimUpgFile rootfs = sWriteFile("rootfs.bin", 40000, 0x4444);
    QString chosen = strPath("rootfs.bin");
    bench.window().upgrade().vSetFileChoosers([&chosen](QWidget*) { return chosen; },
                                              [](QWidget*) {
                                                  ADD_FAILURE() << "one file is asked for";
                                                  return QStringList();
                                              });
    vTick(bench, {"127.0.0.2"});

    // A rootfs file chosen for "kernel.bin" is refused; nothing goes out.
    QStringList entries;
    vPickFromNextMenu({"Send file", "kernel.bin"}, [&entries](QMenu& menu) {
        for (QAction* action : menu.actions()) {
            if (action->menu() != nullptr && action->text() == "Send file") {
                entries = strsMenuTexts(*action->menu());
            }
        }
    });
    vRightClick(bench, "127.0.0.3");
    EXPECT_EQ((QStringList{"uboot.bin", "env.bin", "kernel.bin", "rootfs.bin", "config_info.ini",
                           "upcupg.bin", "others", "", "Retry failed", "Upgrade panel"}),
              entries);
    EXPECT_TRUE(bench.window().pResultPane()->strText().endsWith("\nfile name err"));
    EXPECT_EQ(nullptr, bench.window().upgrade().pPanel()) << "no run started";

    // The right-clicked device joined the pool: both get the file; one refuses it.
    vPickFromNextMenu({"Send file", "rootfs.bin"});
    vRightClick(bench, "127.0.0.3");
    ASSERT_TRUE(fgWaitForPane(bench, "Upgrade: 1 succeeded, 1 failed, 0 no answer"))
        << bench.window().pResultPane()->strText().toStdString();
    EXPECT_TRUE(bench.window().pResultPane()->strText().contains("\n127.0.0.3 Send file failed"));
    ASSERT_TRUE(bench.window().upgrade().fgCanRetry());

    // Retried once the device takes files again: only the failed device gets them.
    bench.fleet().vUpdateDevice(
        1, [](devsim::CSimDeviceState& state, devsim::CSimBehaviour& behaviour) {
            behaviour.m_eUpgFault = devsim::EUpgFault::kNone;
            state.m_upgFiles.clear();
        });
    vPickFromNextMenu({"Send file", "Retry failed"});
    vRightClick(bench, "127.0.0.3");
    ASSERT_TRUE(fgWaitForPane(bench, "Upgrade: 1 succeeded, 0 failed, 0 no answer"))
        << bench.window().pResultPane()->strText().toStdString();
    EXPECT_EQ(std::vector<devsim::CSimUpgFile>{rootfs}, bench.fleet().sDeviceState(1).m_upgFiles);
    EXPECT_EQ(std::vector<devsim::CSimUpgFile>{rootfs}, bench.fleet().sDeviceState(0).m_upgFiles)
        << "received once, not again";
    EXPECT_EQ(1, bench.window().upgrade().iPanelRows());
}

TEST_F(UpgradeWindowTest, PanelSettingsRunWavesThatStopAndShowTheOneVerdict) {
    CFleetWindow bench;
    // The first device takes only half the file and closes without confirming.
    const std::string error = bench.strStart(
        3, [](std::size_t index, devsim::CSimDeviceState&, devsim::CSimBehaviour& behaviour) {
            if (index == 0) {
                behaviour.m_eUpgFault = devsim::EUpgFault::kCloseMidway;
            }
        });
    ASSERT_TRUE(error.empty()) << error;
    sWriteFile("config_info.ini", 3000, 0x5555);
    bench.window().upgrade().vSetFileChoosers(
        [](QWidget*) { return QString(); },
        [this](QWidget*) {
            return QStringList{strPath("config_info.ini"), strPath("missing_kernel.bin")};
        });
    CUpgPlan plan;
    plan.m_iWave = 1;
    plan.m_iStopAfter = 1;
    bench.window().upgrade().vSetPanelPlan(plan);

    bench.vClickRow(bench.iRowOf("127.0.0.2"));
    vTick(bench, {"127.0.0.2", "127.0.0.3", "127.0.0.4"});
    qobject_cast<QPushButton*>(bench.window().pControl(kIdcUpgrade))->click();

    ASSERT_TRUE(fgWaitForPane(bench, "Upgrade: 0 succeeded, 1 failed, 0 no answer, 2 not started"))
        << bench.window().pResultPane()->strText().toStdString();
    const QString pane = bench.window().pResultPane()->strText();
    EXPECT_TRUE(pane.contains("missing_kernel.bin: does not exist")) << pane.toStdString();
    const CUpgradeCommands& upgrade = bench.window().upgrade();
    ASSERT_EQ(3, upgrade.iPanelRows());
    EXPECT_TRUE(upgrade.strPanelCell(0, 3).startsWith("failed: "))
        << upgrade.strPanelCell(0, 3).toStdString();
    EXPECT_TRUE(upgrade.strPanelCell(0, 3).endsWith("of 3,000 bytes without confirming"))
        << upgrade.strPanelCell(0, 3).toStdString();
    for (int row = 1; row < 3; ++row) {
        EXPECT_EQ("not started", upgrade.strPanelCell(row, 3)) << row;
    }
    // The devices of the stopped waves never heard of the upgrade.
    EXPECT_EQ(0U, bench.fleet().sDeviceState(1).m_uiUpgradeRequests);
    EXPECT_EQ(0U, bench.fleet().sDeviceState(2).m_uiUpgradeRequests);
    EXPECT_TRUE(upgrade.fgCanRetry());
}

}  // namespace
