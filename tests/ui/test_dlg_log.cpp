#include <gtest/gtest.h>

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <filesystem>
#include <vector>

#include "app/settings.h"
#include "fleet_test.h"
#include "fleet_window.h"
#include "support/temp_dir.h"
#include "ui/ownerdraw_tab_ctrl.h"
#include "ui/pages/dlg_log.h"
#include "ui/result_pane.h"
#include "ui_test_env.h"

namespace {

constexpr int kLogTab = 7;

class DlgLogFleetTest : public CFleetFolderTest {
  protected:
    bool fgLogShows(const QString& text) const {
        return QTest::qWaitFor(
            [this, &text] { return m_pPage->pLogBox()->toPlainText().contains(text); },
            CFleetWindow::kWaitMs);
    }
    bool fgDeviceGotKey(std::int32_t key) {
        return QTest::qWaitFor(
            [this, key] { return m_bench.fleet().sDeviceState(0).m_iLastKeyCode == key; },
            CFleetWindow::kWaitMs);
    }
    void vSendKey(const char* line) {
        m_pPage->pKeyEdit()->setText(QString::fromLatin1(line));
        m_pPage->pKeyButton()->click();
    }

    CFleetWindow m_bench;
    CDlgLog* m_pPage = nullptr;
};

TEST_F(DlgLogFleetTest, TheLogStreamsWhilePrintingIsKeptAliveAndStopsAfterStop) {
    const std::string error = m_bench.strStart(1);
    ASSERT_TRUE(error.empty()) << error;
    ASSERT_TRUE(m_bench.fgSelectAndLogIn("127.0.0.2"));
    m_pPage = qobject_cast<CDlgLog*>(m_bench.window().pPage(kLogTab));
    ASSERT_NE(nullptr, m_pPage);

    // The export asks where to save, offering "Log.txt"; the result pane names the file.
    vCloseNextModal([](QWidget& modal) {
        auto* dialog = qobject_cast<QFileDialog*>(&modal);
        ASSERT_NE(nullptr, dialog);
        EXPECT_EQ(QFileDialog::AcceptSave, dialog->acceptMode());
        ASSERT_EQ(1, dialog->selectedFiles().size());
        EXPECT_EQ("Log.txt", QFileInfo(dialog->selectedFiles().front()).fileName());
        static_cast<QDialog*>(dialog)->accept();
    });
    m_pPage->pExportButton()->click();
    EXPECT_EQ("Exporting", m_pPage->pExportButton()->text());
    EXPECT_EQ("Log.txt", std::filesystem::path(m_pPage->strExportPath()).filename());
    const QString named =
        QString::fromStdString("Exporting the log to " + m_pPage->strExportPath());
    EXPECT_TRUE(QTest::qWaitFor(
        [this, &named] { return m_bench.window().pResultPane()->strText().contains(named); },
        CFleetWindow::kWaitMs));
    m_pPage->pPrintButton()->click();
    EXPECT_EQ("Stop Print", m_pPage->pPrintButton()->text());
    // The device's status lines stream in, and the worker repeats the start request.
    EXPECT_TRUE(fgLogShows("[2] uid="));
    ASSERT_TRUE(QTest::qWaitFor(
        [this] {
            return m_bench.window().pResultPane()->strText().count(
                       "127.0.0.2 Send start print log command") >= 2;
        },
        CFleetWindow::kWaitMs));

    // A negative key sends nothing: the device logs key 5 right after the key before.
    vSendKey("-1");
    vSendKey("5 0x10 300");
    ASSERT_TRUE(fgDeviceGotKey(5));
    EXPECT_EQ((std::vector<std::uint8_t>{0x10, 0x2C, 0x01}),
              m_bench.fleet().sDeviceState(0).m_lastKeyParams);
    EXPECT_TRUE(fgLogShows("key command 5\n"));
    EXPECT_FALSE(m_pPage->pLogBox()->toPlainText().contains("key command -1"));

    m_pPage->pPrintButton()->click();
    EXPECT_EQ("Start Print", m_pPage->pPrintButton()->text());
    EXPECT_FALSE(m_bench.station().log().fgPrinting());
    EXPECT_TRUE(QTest::qWaitFor(
        [this] {
            return m_bench.window().pResultPane()->strText().contains(
                "127.0.0.2 Send stop print log command");
        },
        CFleetWindow::kWaitMs));
    // The stop left before this key on the same socket, and no keep-alive follows it:
    // the device no longer prints, so the key never shows in the log.
    vSendKey("7");
    ASSERT_TRUE(fgDeviceGotKey(7));
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return m_bench.window().pResultPane()->strText().count("send key success") >= 2; },
        CFleetWindow::kWaitMs));
    EXPECT_FALSE(m_pPage->pLogBox()->toPlainText().contains("key command 7"));

    // The export file holds everything the box showed.
    ASSERT_FALSE(m_pPage->strExportPath().empty());
    EXPECT_EQ(m_dir.path(), std::filesystem::path(m_pPage->strExportPath()).parent_path());
    QFile file(QString::fromStdString(m_pPage->strExportPath()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(m_pPage->pLogBox()->toPlainText(), QString::fromUtf8(file.readAll()).remove('\r'));

    // Printing again, then a click on the device's row on this tab stops it.
    m_bench.window().pTabCtrl()->vSetCurSel(kLogTab);
    m_pPage->pPrintButton()->click();
    ASSERT_TRUE(m_bench.station().log().fgPrinting());
    m_bench.vClickRow(0);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !m_bench.station().log().fgPrinting(); },
                                CFleetWindow::kWaitMs));
    EXPECT_EQ("Start Print", m_pPage->pPrintButton()->text());
}

TEST(DlgLog, ScrollModesClearAndAnExportThatCannotBeWritten) {
    CDlgLog page(nullptr, nullptr, "/nonexistent-folder/");
    page.resize(600, 300);
    for (int line = 0; line < 200; ++line) {
        page.vShowLogText("line " + std::to_string(line) + "\r\n");
    }
    QPlainTextEdit* box = page.pLogBox();
    ASSERT_TRUE(QTest::qWaitFor([box] { return box->toPlainText().contains("line 199"); }));
    EXPECT_EQ(box->verticalScrollBar()->maximum(), box->verticalScrollBar()->value());

    // Mode 2 leaves the view alone; a text without a line break continues the line.
    page.pScrollButton()->click();
    EXPECT_EQ("2", page.pScrollButton()->text());
    box->verticalScrollBar()->setValue(0);
    page.vShowLogText("tail");
    page.vShowLogText(" end");
    ASSERT_TRUE(
        QTest::qWaitFor([box] { return box->toPlainText().endsWith("line 199\ntail end"); }));
    EXPECT_EQ(0, box->verticalScrollBar()->value());
    page.pScrollButton()->click();
    EXPECT_EQ("0", page.pScrollButton()->text());
    page.pScrollButton()->click();
    EXPECT_EQ("1", page.pScrollButton()->text());

    // Dismissing the save dialog starts nothing.
    vCloseNextModal();
    page.pExportButton()->click();
    EXPECT_EQ("Export Logs", page.pExportButton()->text());

    // The file cannot be made: the export does not start, the box is untouched.
    page.vSetSavePathAsker([](const QString& suggested) { return suggested; });
    page.pExportButton()->click();
    EXPECT_EQ("Export Logs", page.pExportButton()->text());
    EXPECT_TRUE(page.strExportPath().empty());
    page.pClearButton()->click();
    EXPECT_TRUE(box->toPlainText().isEmpty());
}

}  // namespace
