#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "dialog_test_support.h"
#include "protocol/cmd_header.h"
#include "support/temp_dir.h"
#include "ui/ac_edit.h"
#include "ui/dlg_connect_wifi.h"

namespace {

struct OkRow {
    int encryption;
    const char* password;
    bool sent;
    bool saved;
};

TEST(DlgConnectWifi, EnterRunsOkWithTheLengthRuleOfEncryptionFour) {
    const std::vector<OkRow> rows{
        {4, "1234567", false, false},
        {4, "12345678", true, true},
        {3, "1234567", true, true},
        {0, "", true, false},
    };
    for (const OkRow& row : rows) {
        SCOPED_TRACE(std::to_string(row.encryption) + " '" + row.password + "'");
        CDialogTestStation core;
        const CTempDir folder;
        CDlgConnectWifi dialog(&core.m_station, "HomeNet", row.encryption, folder.path(), nullptr);
        QSignalSpy connectSent(&dialog, &CDlgConnectWifi::sigWifiConnectSent);
        dialog.show();
        QTest::keyClicks(dialog.pPasswordEdit(), row.password);
        // Only a refusal opens a box; a watch left waiting would catch a later test's box.
        const auto box = row.sent ? std::make_shared<CBoxSeen>() : psWatchNextBox();
        QTest::keyClick(dialog.pPasswordEdit(), Qt::Key_Return);

        const std::vector<CSentDatagram> sent = core.vecSent();
        EXPECT_EQ(row.sent ? 1U : 0U, sent.size());
        EXPECT_EQ(row.sent ? 1 : 0, connectSent.count());
        EXPECT_EQ(row.sent, dialog.result() == QDialog::Accepted);
        EXPECT_EQ(row.sent ? QString() : QString("Length cannot be less than 8"), box->m_strText);
        const std::vector<std::string> saved =
            CWifiPwdSaveInfo(folder.path()).vecGetWifiPwd("HomeNet");
        EXPECT_EQ(row.saved ? std::vector<std::string>{row.password} : std::vector<std::string>{},
                  saved);
        if (!sent.empty()) {
            const CSentDatagram& request = sent[0];
            EXPECT_EQ(CDialogTestStation::kDeviceIp, request.strTarget());
            ASSERT_EQ(116U, request.m_bytes.size());
            EXPECT_EQ(kCmdConnectWifi, request.m_bytes[1]);
            EXPECT_EQ(row.encryption, request.m_bytes[16]);
            EXPECT_EQ(std::string(row.password), strField(request, 20, 64));
            EXPECT_EQ("HomeNet", strField(request, 84, 32));
        }
    }
}

TEST(DlgConnectWifi, OffersTheSavedPasswordsOfItsNetworkOnly) {
    const CTempDir folder;
    folder.write(CWifiPwdSaveInfo::kFileName, "home zeta\nhome Alpha\nwork other\n");
    CDialogTestStation core;
    CDlgConnectWifi dialog(&core.m_station, "home", 2, folder.path(), nullptr);
    dialog.show();
    EXPECT_EQ("home", dialog.pSsidLabel()->text());
    QTest::keyClicks(dialog.pPasswordEdit(), "p");
    EXPECT_EQ((QStringList{"Alpha", "zeta"}), dialog.pAutoComplete()->pListWnd()->listVisible());

    // Enter with the list open still connects.
    QTest::keyClick(dialog.pPasswordEdit(), Qt::Key_Down);
    QTest::keyClick(dialog.pPasswordEdit(), Qt::Key_Return);
    EXPECT_EQ(QDialog::Accepted, dialog.result());
    ASSERT_EQ(1U, core.vecSent().size());
    EXPECT_EQ("Alpha", strField(core.vecSent()[0], 20, 64));
}

TEST(DlgConnectWifi, CancelSendsAndSavesNothing) {
    const CTempDir folder;
    CDialogTestStation core;
    CDlgConnectWifi dialog(&core.m_station, "home", 4, folder.path(), nullptr);
    dialog.show();
    QTest::keyClicks(dialog.pPasswordEdit(), "longenough");
    dialog.reject();
    EXPECT_TRUE(core.vecSent().empty());
    EXPECT_FALSE(std::filesystem::exists(folder.path() / CWifiPwdSaveInfo::kFileName));
}

}  // namespace
