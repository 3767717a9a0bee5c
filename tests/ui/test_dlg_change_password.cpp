#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include "dialog_test_support.h"
#include "protocol/cmd_header.h"
#include "ui/dlg_change_password.h"

namespace {

TEST(DlgChangePassword, EmptyPasswordIsSentAndTheDialogCloses) {
    CDialogTestStation core;
    CDlgChangePassword dialog(&core.m_station, nullptr);
    dialog.show();
    QTest::keyClick(dialog.pPasswordEdit(), Qt::Key_Return);
    const std::vector<CSentDatagram> sent = core.vecSent();
    ASSERT_EQ(1U, sent.size());
    ASSERT_EQ(80U, sent[0].m_bytes.size());
    EXPECT_EQ(kCmdChangePassword, sent[0].m_bytes[1]);
    EXPECT_EQ("admin", strField(sent[0], 16, 32));
    EXPECT_EQ(std::string(32, '\0'), strBytes(sent[0], 48, 32));
    EXPECT_EQ(QDialog::Accepted, dialog.result());
}

TEST(DlgChangePassword, NoSelectedDeviceKeepsTheDialogOpen) {
    CDialogTestStation core;
    core.vUnselect();
    CDlgChangePassword dialog(&core.m_station, nullptr);
    dialog.show();
    QTest::keyClicks(dialog.pPasswordEdit(), "newpass");
    const auto box = psWatchNextBox();
    QTest::keyClick(dialog.pPasswordEdit(), Qt::Key_Return);
    EXPECT_EQ("Please choose a device", box->m_strText);
    EXPECT_TRUE(core.vecSent().empty());
    EXPECT_TRUE(dialog.isVisible());
}

TEST(DlgChangePassword, RefusedLoginKeepsTheDialogOpen) {
    CDialogTestStation core;
    core.m_station.registry().vSetDevLoginState(uiAddr(CDialogTestStation::kDeviceIp),
                                                kLoginRefused);
    CDlgChangePassword dialog(&core.m_station, nullptr);
    dialog.show();
    QTest::keyClick(dialog.pPasswordEdit(), Qt::Key_Return);
    EXPECT_TRUE(core.vecSent().empty());
    EXPECT_TRUE(dialog.isVisible());
}

}  // namespace
